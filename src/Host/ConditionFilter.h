// The host's filter expression: a condition text that decides which items an
// enumerator yields. Conditions on fields are joined by "&" (and) and ";" (or),
// "&" binding closer: `$Ort=Berlin&type<>archive;text~müller`. Each condition is
// `field=value` (equal, exactly), `field<>value` (not equal) or `field~value`
// (contains, letter case ignored). A field is a fixed field by name in any letter
// case (id, type, text, datum, keywords, log, owner, access, source) or a data
// field as "$" and its name. A backslash makes the next character part of the
// value; spaces around names and values do not count. docs/filter-expressions.md
// has the whole grammar. Immutable once made, so it may be shared freely.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "../Connectors/Excel/outside/Host.h"
#include "../Connectors/Excel/outside/HostItem.h"

namespace zentora::host {

// A condition text that does not follow the grammar; `position` is the 1-based byte position of
// the fault, also named in the message.
class FilterSyntaxError : public std::invalid_argument {
 public:
  FilterSyntaxError(const std::string& problem, std::size_t position);
  std::size_t position() const noexcept { return position_; }

 private:
  std::size_t position_;
};

class ConditionFilter : public excel::FilterExpression {
 public:
  // Parses `condition`; one with nothing but spaces matches every item. Throws FilterSyntaxError.
  explicit ConditionFilter(std::string condition);

  // The condition text as given.
  const std::string& Condition() const { return condition_; }
  // True when `item` meets every condition of one of the "or" groups; reads only the fields the
  // conditions name and stops at the first group met. Throws what the item's getters throw.
  bool Matches(excel::HostItem& item) const;

 private:
  enum class Comparison { Equal, NotEqual, Contains };
  struct Term {
    std::string (excel::HostItem::*fixedField)() = nullptr;  // nullptr for a data field
    std::string dataField;
    Comparison comparison = Comparison::Equal;
    std::string value;  // case-folded for Contains
  };

  // The condition from byte `begin` to `end` of the text (a part between separators).
  Term ParseTerm(std::size_t begin, std::size_t end) const;
  bool Holds(const Term& term, excel::HostItem& item) const;

  std::string condition_;
  // The "or" groups, each a list of conditions that must all hold.
  std::vector<std::vector<Term>> groups_;
};

}  // namespace zentora::host
