// Single-byte Cyrillic code pages and the text files of the program.
// Text in memory is UTF-8; files the program writes are cp1251 with CR LF.
#pragma once
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace rv {

// cp1251 bytes -> UTF-8. Every byte maps (the one unassigned byte 0x98 becomes U+FFFD).
std::string Cp1251ToUtf8(std::string_view bytes);
// The bytes of a text file the program writes: cp1251 when the text has no character cp1251
// lacks, otherwise UTF-8 after a byte-order mark.
std::string EncodeText(std::string_view utf8);
// UTF-8 lines with CR LF after every line, encoded by EncodeText.
std::string EncodeLines(const std::vector<std::string>& lines);
// UTF-8 -> cp1251 bytes. Characters cp1251 lacks, and malformed UTF-8, become '?'.
std::string Utf8ToCp1251(std::string_view utf8);
// cp866 (DOS Cyrillic) bytes -> UTF-8.
std::string Cp866ToUtf8(std::string_view bytes);

// DOS Cyrillic (cp866) to Windows Cyrillic (cp1251), byte for byte, on single-byte text.
// A text holding any byte 192..255 is taken as cp1251 already and returned unchanged.
// Otherwise bytes < 128 stay, 128..175 become byte + 64, every other byte >= 128 is dropped.
std::string DosToWin(std::string_view bytes);

// Case folding used for INI section and key names: ASCII and Cyrillic letters
// (including Ё/ё) to lower case; works on UTF-8 text.
std::string FoldCase(std::string_view utf8);

// Reads a whole text file as UTF-8. A UTF-8 byte-order mark means the file is UTF-8 (the
// mark is dropped); so does text whose bytes above 127 all form valid UTF-8 (a file
// converted without the mark); otherwise the bytes are cp1251. Line ends stay as they are in the file.
// Returns false and sets err (a message for the user) when the file cannot be read.
// Readers walk the text with LineReader, so a file of many short lines costs no more than
// its own size.
bool ReadTextFile(const std::string& path, std::string& text, std::string& err);
// As ReadTextFile, but the raw single-byte text without decoding (for readers that must
// run DosToWin on the bytes first). A UTF-8 file (as ReadTextFile tells it) is converted to
// cp1251 bytes.
// utf8Mark, when given, tells whether the file began with the UTF-8 mark.
bool ReadRawText(const std::string& path, std::string& bytes, std::string& err, bool* utf8Mark = nullptr);

// The lines of a text in memory, one at a time. Lines end in CR LF, LF, CR CR LF, a CR alone
// (old Mac files) or LF CR (some old converters). A final line without an ending is kept; an empty text has no
// lines. The text must outlive the reader.
class LineReader {
public:
  explicit LineReader(std::string_view text) : rest_(text) {}
  bool Next(std::string_view& line);
  // 1-based number of the line Next returned last.
  std::size_t Number() const { return number_; }
private:
  std::string_view rest_;
  std::size_t number_ = 0;
  int lfcr_ = -1;  // whether lines end in LF CR; -1 until the first LF is met
};

// What every reader says when a file needs more memory than is left (std::bad_alloc).
std::string NoMemoryMessage(const std::string& path);

// ReadTextFile split into lines (for small files).
bool ReadTextLines(const std::string& path, std::vector<std::string>& lines, std::string& err);

// Writes UTF-8 lines (EncodeText) with CR LF after every line, as a whole (WriteWholeFile):
// a failed write leaves the old file intact, and a read-only file is refused.
bool WriteTextLines(const std::string& path, const std::vector<std::string>& lines, std::string& err);
// The same for a whole UTF-8 text that already holds its CR LF line ends.
bool WriteTextFile(const std::string& path, std::string_view text, std::string& err);

// A cp1251 CR LF text file written line by line (output curve files, reports).
// Append mode adds to an existing file. Every failure is reported through ok()/error().
class TextFileWriter {
public:
  TextFileWriter() = default;
  ~TextFileWriter();
  TextFileWriter(const TextFileWriter&) = delete;
  TextFileWriter& operator=(const TextFileWriter&) = delete;
  bool open(const std::string& path, bool append = false);
  void writeLine(std::string_view utf8);  // adds CR LF
  void write(std::string_view utf8);      // no line ending
  bool close();                            // flushes; false when any write failed
  // From now on every line goes to the file at its line end (call right after open): a
  // process killed mid-run leaves whole lines only.
  void flushEachLine();
  bool isOpen() const { return f_ != nullptr; }
  bool ok() const { return ok_; }
  const std::string& error() const { return err_; }
private:
  std::FILE* f_ = nullptr;
  bool ok_ = true;
  std::string err_, path_;
};

}  // namespace rv
