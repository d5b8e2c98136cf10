// Small helpers that split and clean lines of text files.
#pragma once
#include <string>
#include <string_view>

namespace rv {

// Words separated by blanks (code 32 only; a tab is no separator): 0 for an empty string or
// only blanks; otherwise 1 plus 1 for every run of blanks after the first non-blank, less 1
// when the string ends with a blank.
int WordCount(std::string_view s);
// The N-th word when words are separated by single blanks: S is cut at its first blank N
// times; the result is the text before the N-th cut, or the remainder when no blank is left;
// empty once N exceeds the number of words; S itself when N < 1 or S is empty.
std::string GetWord(std::string_view s, int n);
// Tabs to blanks, leading blanks dropped, runs of blanks to one, a final blank dropped.
std::string NormalizeBlanks(std::string_view s);
// Blanks and tabs dropped at both ends.
std::string_view TrimBlanks(std::string_view s);
// A piece of a text for a message: the text itself up to 60 bytes, else its first 60 bytes
// (fewer, so as not to cut a UTF-8 character) and "…". Readers quote bad input through it,
// so a huge word neither blocks the window nor fills the memory.
std::string TextPiece(std::string_view s);
// Returns its argument unchanged (writers pass the texts they write through it).
std::string CopyText(std::string_view s);

}  // namespace rv
