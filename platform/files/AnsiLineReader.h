#pragma once

#include <QString>
#include <string>

// Reads a text file in the ANSI code page line by line, as Windows programs read project and
// settings files. A line ends at CR LF, at LF or at a lone CR; the last line may have no end.
// Bytes are taken as they are (NUL included), so no content can stop the reading.
class AnsiLineReader {
public:
    // Longest line accepted, in characters; a longer one fails the read with "Out of memory"
    // rather than exhausting memory on a file that is not text.
    static constexpr qsizetype kMaxLineLength = 64 * 1024 * 1024;

    // Opens the file at a Windows path. Raises ProgramError 53 (missing file), 76 (missing
    // folder) or 75 (a folder, a device, or no permission).
    explicit AnsiLineReader(const QString& windowsPath);
    // Reads the lines of `contents`, a file's bytes already in memory, as a file holding them
    // is read. For tests and fuzzing.
    struct InMemory {};
    AnsiLineReader(InMemory, std::string contents);
    ~AnsiLineReader();
    AnsiLineReader(const AnsiLineReader&) = delete;
    AnsiLineReader& operator=(const AnsiLineReader&) = delete;

    // Reads the next line into `line`, without its end. Returns false at the end of the file.
    // Raises ProgramError 57 when the read fails, 7 when a line is longer than kMaxLineLength.
    bool readLine(QString& line);

private:
    bool fillBuffer();

    int fd_ = -1;
    long long remaining_ = 0; // bytes the file held when opened and not yet read
    std::string buffer_;
    std::size_t position_ = 0;
    bool endOfFile_ = false;
};
