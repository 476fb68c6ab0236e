#include "Transfer.h"

#include <memory>
#include <stdexcept>

#include "Commands.h"
#include "ConditionFilter.h"
#include "HostLocationObject.h"
#include "ItemEnumerator.h"

namespace zentora::cli {
namespace {

// How many pasted lines a progress update waits for.
constexpr std::int64_t kProgressStep = 500;

// Checks that `location` holds every ID of `ids`, naming the first it lacks.
void RequireIDs(excel::Location& location, const std::vector<std::string>& ids, const std::string& book) {
  for (const std::string& id : ids) {
    if (!location.HasID(id)) throw NotFound("no item with ID \"" + id + "\" in " + book);
  }
}

// Calls `take` with the text form of each item of `ids`, or of every item when `ids` is empty,
// through the location's shared item so that no item object is made per row.
template <typename Take>
void ForEachTextForm(excel::Location& location, const std::vector<std::string>& ids, Take take) {
  if (ids.empty()) {
    for (std::int32_t position = 1; position <= location.Count(); ++position)
      take(location.DynamicItem(position)->Item_ToString());
    return;
  }
  for (const std::string& id : ids) take(location.GetDynamicItem(id)->Item_ToString());
}

void Paste(excel::Location& location, const std::string& text, PasteCount& count) {
  const bool present = location.HasID(excel::FieldValue(text, "ID"));
  location.PasteItem(text, false);
  ++(present ? count.updated : count.added);
}

}  // namespace

void ExportItems(excel::Location& location, const std::vector<std::string>& ids, const std::string& book,
                 std::ostream& out) {
  RequireIDs(location, ids, book);
  ForEachTextForm(location, ids, [&out](const std::string& text) { out << text << '\n'; });
}

PasteCount ImportItems(excel::Location& location, std::istream& in, std::ostream* progress) {
  PasteCount count;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    Paste(location, line, count);
    const std::int64_t done = count.added + count.updated;
    if (progress && done % kProgressStep == 0) *progress << "\r" << done << " items pasted" << std::flush;
  }
  if (progress && count.added + count.updated >= kProgressStep) *progress << '\n';
  return count;
}

PasteCount CopyItems(excel::Location& source, excel::Location& target, const std::vector<std::string>& ids,
                     const std::string& sourceBook) {
  RequireIDs(source, ids, sourceBook);
  PasteCount count;
  ForEachTextForm(source, ids, [&](const std::string& text) { Paste(target, text, count); });
  return count;
}

std::string Summary(const PasteCount& count) {
  return std::to_string(count.added) + " added, " + std::to_string(count.updated) + " updated";
}

std::vector<std::int32_t> MatchingPositions(excel::Location& location, const std::string& where) {
  std::shared_ptr<excel::FilterExpression> filter = std::make_shared<host::ConditionFilter>(where);
  // The host links its location object to the store it opened, so that its enumerator can walk it.
  if (auto* hostLocation = dynamic_cast<host::HostLocationObject*>(location.LocObject.get())) {
    hostLocation->SetStore(location.shared_from_this());
  }
  const auto enumerator = std::dynamic_pointer_cast<host::ItemEnumerator>(location.CreateEnum(filter));
  if (!enumerator) throw std::logic_error("the host's enumerator is not the host library's own");
  std::vector<std::int32_t> positions;
  while (const auto item = enumerator->Next()) positions.push_back(location.RowOfID(item->Item_ID()) - 1);
  return positions;
}

}  // namespace zentora::cli
