// Finding and replacing within cell texts: plain and whole-word search and the
// in-place replacement the escaping and number reading build on. Positions are
// 1-based byte positions in the UTF-8 text; comparisons are exact unless asked.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zentora::excel {

// Replaces every occurrence of `find` in `text`, left to right; text that a
// replacement produced is never searched again ("aaa", "a" -> "aa" gives
// "aaaaaa"). `ignoreCase` compares lower-cased code points; `wholeWord` takes
// only occurrences that FindWord would find. An empty `find` changes nothing.
void ReplaceText(std::string& text, std::string_view find, std::string_view replacement, bool ignoreCase,
                 bool wholeWord);

// Position of the first occurrence of `word` at or after `start` that has no
// word character (IsWordChar) directly before or after it; 0 when there is none
// or `word` is empty. Throws InvalidArgument for a start below 1.
std::int32_t FindWord(std::int32_t start, std::string_view text, std::string_view word);

// True for the one-character texts "A" to "Z", "a" to "z" and "_"; digits and
// other letters are not word characters.
bool IsWordChar(std::string_view character);

// `text` with "A" to "Z" lower-cased; every other byte as it is. For names whose
// fixed spellings are ASCII (field names, text-form keys).
std::string AsciiLower(std::string text);

// `text` in its Unicode simple case folding, as the keyed collections compare keys: two texts
// that differ only in letter case ("Größe", "GRÖSSE" excepted) fold alike, and a part of a text
// folds to a part of its folded form. For comparisons that ignore letter case.
std::string CaseFolded(std::string_view text);

}  // namespace zentora::excel
