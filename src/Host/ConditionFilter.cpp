#include "ConditionFilter.h"

#include <functional>
#include <map>
#include <string_view>
#include <utility>

#include "text/Search.h"

namespace zentora::host {
namespace {

using excel::HostItem;

const std::map<std::string, std::string (HostItem::*)(), std::less<>> kFixedFields = {
    {"id", &HostItem::Item_ID},
    {"type", &HostItem::Item_Typ},
    {"text", &HostItem::Item_Text},
    {"datum", &HostItem::Item_Datum},
    {"keywords", &HostItem::Item_Keywords},
    {"log", &HostItem::Item_LogString},
    {"owner", &HostItem::Item_Owner},
    {"access", &HostItem::Item_Access},
    {"source", &HostItem::Item_Source},
};

bool IsSpace(char c) { return c == ' '; }

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

}  // namespace

FilterSyntaxError::FilterSyntaxError(const std::string& problem, std::size_t position)
    : std::invalid_argument("filter expression: " + problem + " at position " + std::to_string(position)),
      position_(position) {}

ConditionFilter::ConditionFilter(std::string condition) : condition_(std::move(condition)) {
  const std::string& text = condition_;
  std::size_t begin = 0;
  while (begin < text.size() && IsSpace(text[begin])) ++begin;
  if (begin == text.size()) return;

  groups_.emplace_back();
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] == '\\') {
      if (i + 1 == text.size()) throw FilterSyntaxError("a backslash ends the expression", i + 1);
      ++i;
      continue;
    }
    if (i < text.size() && text[i] != '&' && text[i] != ';') continue;
    groups_.back().push_back(ParseTerm(start, i));
    if (i < text.size() && text[i] == ';') groups_.emplace_back();
    start = i + 1;
  }
}

ConditionFilter::Term ConditionFilter::ParseTerm(std::size_t begin, std::size_t end) const {
  const std::string_view text(condition_);
  std::size_t nameBegin = begin;
  while (nameBegin < end && IsSpace(text[nameBegin])) ++nameBegin;
  if (nameBegin == end) {
    throw FilterSyntaxError("an empty condition where a field was expected", nameBegin + 1);
  }
  // The name runs up to the operator.
  std::size_t op = nameBegin;
  while (op < end && text[op] != '=' && text[op] != '~' && text[op] != '<' && text[op] != '>' &&
         text[op] != '\\') {
    ++op;
  }
  Term term;
  std::size_t valueBegin = op + 1;
  if (op < end && text[op] == '=') {
    term.comparison = Comparison::Equal;
  } else if (op < end && text[op] == '~') {
    term.comparison = Comparison::Contains;
  } else if (op + 1 < end && text[op] == '<' && text[op + 1] == '>') {
    term.comparison = Comparison::NotEqual;
    valueBegin = op + 2;
  } else if (op < end) {
    throw FilterSyntaxError("unknown operator " + Quoted(text.substr(op, 1)) + " (use =, <> or ~)", op + 1);
  } else {
    throw FilterSyntaxError(
        "the condition " + Quoted(text.substr(nameBegin, end - nameBegin)) + " has no operator (=, <> or ~)",
        nameBegin + 1);
  }

  std::size_t nameEnd = op;
  while (nameEnd > nameBegin && IsSpace(text[nameEnd - 1])) --nameEnd;
  const std::string_view name = text.substr(nameBegin, nameEnd - nameBegin);
  if (name.empty()) throw FilterSyntaxError("a condition without a field name", op + 1);
  if (name.front() == '$') {
    if (name.size() == 1) throw FilterSyntaxError("\"$\" without a data field name", nameBegin + 1);
    term.dataField = name.substr(1);
  } else {
    const auto fixed = kFixedFields.find(excel::AsciiLower(std::string(name)));
    if (fixed == kFixedFields.end()) {
      throw FilterSyntaxError(
          "unknown field " + Quoted(name) + " (a data field is written \"$" + std::string(name) + "\")",
          nameBegin + 1);
    }
    term.fixedField = fixed->second;
  }

  // The value: escapes resolved, spaces at both ends dropped unless escaped.
  std::size_t kept = 0;  // length of the value up to its last escaped or non-space character
  for (std::size_t i = valueBegin; i < end; ++i) {
    const bool escaped = text[i] == '\\';
    if (escaped) ++i;
    if (!escaped && IsSpace(text[i]) && term.value.empty()) continue;
    term.value += text[i];
    if (escaped || !IsSpace(text[i])) kept = term.value.size();
  }
  term.value.resize(kept);
  if (term.comparison == Comparison::Contains) term.value = excel::CaseFolded(term.value);
  return term;
}

bool ConditionFilter::Holds(const Term& term, HostItem& item) const {
  const std::string field = term.fixedField ? (item.*term.fixedField)() : item.Item_DataText(term.dataField);
  switch (term.comparison) {
    case Comparison::Equal:
      return field == term.value;
    case Comparison::NotEqual:
      return field != term.value;
    case Comparison::Contains:
      return excel::CaseFolded(field).find(term.value) != std::string::npos;
  }
  return false;
}

bool ConditionFilter::Matches(HostItem& item) const {
  if (groups_.empty()) return true;
  for (const auto& group : groups_) {
    bool holds = true;
    for (const Term& term : group) {
      if (!Holds(term, item)) {
        holds = false;
        break;
      }
    }
    if (holds) return true;
  }
  return false;
}

}  // namespace zentora::host
