// The commands on one item's keywords, log, rating and text form, each through
// the item's own members so that the host hears of every change.
#include <algorithm>
#include <cctype>

#include "Commands.h"
#include "Output.h"
#include "text/Tokens.h"

namespace zentora::cli {
namespace {

// A 14-digit stamp as "2026-12-05 10:00:00"; any other text as it is.
std::string Readable(const std::string& stamp) {
  if (stamp.size() != 14 ||
      !std::all_of(stamp.begin(), stamp.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return stamp;
  }
  return stamp.substr(0, 4) + "-" + stamp.substr(4, 2) + "-" + stamp.substr(6, 2) + " " + stamp.substr(8, 2) +
         ":" + stamp.substr(10, 2) + ":" + stamp.substr(12, 2);
}

// "2026-12-05 10:00:00 (2 times)", or "never" for no stamp and no count.
std::string Occurrences(const std::string& stamp, std::int32_t count) {
  if (stamp.empty() && count == 0) return "never";
  return Readable(stamp) + " (" + std::to_string(count) + (count == 1 ? " time)" : " times)");
}

}  // namespace

void CheckKeywordsArguments(const Invocation& call) {
  if (call.operands.size() <= 2) return;
  const std::string& action = call.operands[2];
  const std::size_t words = call.operands.size() - 3;
  const std::string help = std::string("; see ") + kProgram + " keywords --help";
  if (action == "add" || action == "remove") {
    if (words == 0) throw UsageError("keywords " + action + " needs at least one WORD" + help);
  } else if (action == "set") {
    if (words != 1) throw UsageError("keywords set needs one LIST (quote it: \"a, b / c\")" + help);
  } else {
    throw UsageError("unknown keywords action \"" + action + "\"; use add, remove or set" + help);
  }
}

void KeywordsCommand(const Invocation& call, std::ostream& out, std::ostream& err, excel::HostItem& item) {
  if (call.operands.size() > 2) {
    const std::string& action = call.operands[2];
    if (action == "set") {
      item.Item_Keywords(call.operands[3]);
      return;
    }
    for (auto word = call.operands.begin() + 3; word != call.operands.end(); ++word) {
      if (action == "add" && !item.Item_KeywordAdd(*word)) {
        err << kProgram << ": keyword \"" << *word << "\" is already there (or empty); nothing added\n";
      }
      if (action == "remove" && !item.Item_KeywordRemove(*word)) {
        err << kProgram << ": no keyword \"" << *word << "\"; nothing removed\n";
      }
    }
    return;
  }
  std::string stored = item.Item_Keywords();
  if (!call.Has("--json")) {
    out << stored << '\n';
    return;
  }
  out << '[';
  for (bool first = true; !stored.empty(); first = false) {
    out << (first ? "" : ", ") << JsonString(excel::NextToken(stored, ","));
  }
  out << "]\n";
}

void LogCommand(const Invocation& call, std::ostream& out, excel::HostItem& item) {
  const std::string log = item.Item_LogString();
  if (call.Has("--raw")) {
    out << log << '\n';
    return;
  }
  const std::string created = item.Item_LogCreationDate();
  const std::string changed = item.Item_LogModifyDate();
  const std::int32_t changes = item.Item_LogModifyCount();
  const std::string viewed = item.Item_LogViewDate();
  const std::int32_t views = item.Item_LogViewCount();
  if (call.Has("--json")) {
    out << "{\"created\": " << JsonString(Readable(created))
        << ", \"changed\": " << JsonString(Readable(changed)) << ", \"changes\": " << changes
        << ", \"viewed\": " << JsonString(Readable(viewed)) << ", \"views\": " << views
        << ", \"log\": " << JsonString(log) << "}\n";
    return;
  }
  out << "created: " << (created.empty() ? "not recorded, so changes are not counted" : Readable(created))
      << '\n'
      << "changed: " << Occurrences(changed, changes) << '\n'
      << "viewed: " << Occurrences(viewed, views) << '\n';
}

void ViewCommand(excel::HostItem& item) { item.Item_LogViewAdd(""); }

void RatingCommand(const Invocation& call, std::ostream& out, excel::Location& location,
                   excel::HostItem& item) {
  const std::int16_t rating = item.Item_EvalAll();
  const std::string text = location.ReadSheet(location.RowOfID(item.Item_ID()), "evalall");
  const std::string shown = rating == -1 ? (call.Has("--json") ? "null" : "none") : std::to_string(rating);
  if (call.Has("--json")) {
    out << "{\"rating\": " << shown << ", \"text\": " << JsonString(text) << "}\n";
  } else {
    out << "rating: " << shown << "\ntext: " << text << '\n';
  }
}

void TextCommand(const Invocation& call, std::ostream& out, excel::HostItem& item) {
  if (const auto form = call.Value("--set")) {
    item.Item_ToString(*form);
    return;
  }
  const std::string form = item.Item_ToString();
  out << (call.Has("--json") ? JsonString(form) : form) << '\n';
}

}  // namespace zentora::cli
