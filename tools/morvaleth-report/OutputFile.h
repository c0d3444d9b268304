#pragma once
#include <string>

// A file written whole or not at all: the text goes to a temporary file in the same folder, which
// then replaces the file. Until Commit succeeds, the file is as it was and the temporary is
// removed when the holder goes.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Makes the temporary, so that a folder that cannot be written is known before any work.
    // False with the reason in `error`.
    bool Open(const std::wstring& path, std::string& error);
    bool Commit(const std::string& bytes, std::string& error);

private:
    std::wstring path_;
    std::wstring temporary_;
};

// Standard output in one write: the C runtime's text mode writes a line at a time, and under Wine
// every write is a round trip to the wine server (a 600-line document took 0.4 s).
bool WriteStandardOutput(const std::string& bytes);
// "\n" as "\r\n", as the C runtime's text mode writes it.
std::string WithCrLf(const std::string& text);
