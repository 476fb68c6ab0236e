#include "FixedFields.h"

#include "text/Numbers.h"
#include "text/Search.h"

namespace zentora::host {
namespace {

using excel::HostItem;

const FixedField kFixedFields[] = {
    {"id", [](HostItem& item) { return item.Item_ID(); },
     [](HostItem& item, const std::string& v) { item.Item_ID(v); }},
    {"type", [](HostItem& item) { return item.Item_Typ(); },
     [](HostItem& item, const std::string& v) { item.Item_Typ(v); }},
    {"text", [](HostItem& item) { return item.Item_Text(); },
     [](HostItem& item, const std::string& v) { item.Item_Text(v); }},
    {"datum", [](HostItem& item) { return item.Item_Datum(); },
     [](HostItem& item, const std::string& v) { item.Item_Datum(v); }},
    {"keywords", [](HostItem& item) { return item.Item_Keywords(); },
     [](HostItem& item, const std::string& v) { item.Item_Keywords(v); }},
    {"log", [](HostItem& item) { return item.Item_LogString(); },
     [](HostItem& item, const std::string& v) { item.Item_LogString(v); }},
    {"owner", [](HostItem& item) { return item.Item_Owner(); },
     [](HostItem& item, const std::string& v) { item.Item_Owner(v); }},
    {"access", [](HostItem& item) { return item.Item_Access(); },
     [](HostItem& item, const std::string& v) { item.Item_Access(v); }},
    {"evalcount", [](HostItem& item) { return excel::DecimalText(item.Item_EvalCount()); }, nullptr, false},
    {"filesize",
     [](HostItem& item) { return excel::DecimalText(static_cast<std::int64_t>(item.Item_FileSize())); },
     nullptr, false},
    {"eval", [](HostItem& item) { return item.Item_EvalString(); }, nullptr, false},
    {"evalall", [](HostItem& item) { return excel::DecimalText(item.Item_EvalAll()); }, nullptr, false},
    {"source", [](HostItem& item) { return item.Item_Source(); },
     [](HostItem& item, const std::string& v) { item.Item_Source(v); }},
};

}  // namespace

std::span<const FixedField> FixedFields() { return kFixedFields; }

const FixedField* FixedFieldNamed(std::string_view name) {
  const std::string lower = excel::AsciiLower(std::string(name));
  for (const FixedField& field : kFixedFields) {
    if (field.name == lower) return &field;
  }
  return nullptr;
}

}  // namespace zentora::host
