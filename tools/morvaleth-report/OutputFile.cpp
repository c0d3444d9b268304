#include "OutputFile.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

std::string SystemWords(DWORD error)
{
    char text[512] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                  sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == ' '))
        text[--length] = '\0';
    char code[32];
    std::snprintf(code, sizeof code, "error %lu", static_cast<unsigned long>(error));
    return length ? std::string(text) + " (" + code + ")" : std::string(code);
}

}  // namespace

OutputFile::~OutputFile()
{
    if (!temporary_.empty())
        DeleteFileW(temporary_.c_str());
}

bool OutputFile::Open(const std::wstring& path, std::string& error)
{
    DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::vector<wchar_t> full(length + 1);
    wchar_t* name = nullptr;
    if (length == 0 || GetFullPathNameW(path.c_str(), length + 1, full.data(), &name) == 0 || !name || !*name) {
        error = "names no file";
        return false;
    }
    DWORD attributes = GetFileAttributesW(full.data());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = "is a folder";
        return false;
    }
    std::wstring folder(full.data(), name);
    wchar_t temporary[MAX_PATH + 1] = {};
    if (!GetTempFileNameW(folder.c_str(), L"mvr", 0, temporary)) {
        error = "its folder cannot be written: " + SystemWords(GetLastError());
        return false;
    }
    path_ = full.data();
    temporary_ = temporary;
    return true;
}

bool OutputFile::Commit(const std::string& bytes, std::string& error)
{
    HANDLE file = CreateFileW(temporary_.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = SystemWords(GetLastError());
        return false;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size() && FlushFileBuffers(file);
    DWORD failure = GetLastError();
    CloseHandle(file);
    if (!ok || !MoveFileExW(temporary_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = SystemWords(ok ? GetLastError() : failure);
        return false;
    }
    temporary_.clear();
    return true;
}

bool WriteStandardOutput(const std::string& bytes)
{
    std::fflush(stdout);
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    // No standard output at all (a program started without one): nothing to write to.
    if (output == nullptr || output == INVALID_HANDLE_VALUE)
        return true;
    for (size_t done = 0; done < bytes.size();) {
        DWORD written = 0;
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!WriteFile(output, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

std::string WithCrLf(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}
