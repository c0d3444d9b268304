#include "registrar/ExpandScript.h"

#include "win/LastError.h"
#include "win/TaskMemory.h"

namespace {
const int kMaxVariableName = 31;  // bytes

// Output of the expansion: starts at twice the script's length and doubles when full.
class ExpandedText {
public:
    ~ExpandedText() { CoTaskMemFree(data_); }

    HRESULT Start(SIZE_T capacity)
    {
        // An empty script still needs room for its NUL.
        capacity_ = capacity == 0 ? 1 : capacity;
        data_ = static_cast<char*>(CoTaskMemAlloc(capacity_));
        return data_ != nullptr ? S_OK : E_OUTOFMEMORY;
    }

    // Grows before copying, so that both bytes of a double-byte character always fit.
    HRESULT Append(const char* bytes, SIZE_T count)
    {
        while (capacity_ - used_ < count) {
            if (capacity_ > MAXDWORD / 2)
                return E_OUTOFMEMORY;
            void* grown = CoTaskMemRealloc(data_, capacity_ * 2);
            if (grown == nullptr)
                return E_OUTOFMEMORY;
            data_ = static_cast<char*>(grown);
            capacity_ *= 2;
        }
        CopyMemory(data_ + used_, bytes, count);
        used_ += count;
        return S_OK;
    }

    // Narrow text, one character (one or two bytes) at a time.
    HRESULT AppendText(const char* text)
    {
        for (const char* c = text; *c != '\0';) {
            const char* next = CharNextA(c);
            HRESULT result = Append(c, next - c);
            if (FAILED(result))
                return result;
            c = next;
        }
        return S_OK;
    }

    HRESULT AppendWide(LPCWSTR value)
    {
        int size = lstrlenW(value) * 2 + 2;
        TaskMemory<char> narrow;
        if (!narrow.Allocate(size))
            return E_OUTOFMEMORY;
        if (WideCharToMultiByte(CP_ACP, 0, value, -1, narrow.Get(), size, nullptr, nullptr) == 0)
            return LastErrorResult();
        return AppendText(narrow.Get());
    }

    LPSTR Release()
    {
        char* data = data_;
        data_ = nullptr;
        return data;
    }

private:
    char* data_ = nullptr;
    SIZE_T used_ = 0;
    SIZE_T capacity_ = 0;
};

// Appends the value of the variable whose name runs from `name` to `end`.
HRESULT AppendVariable(ExpandedText& out, const char* name, const char* end,
                       const ScriptVariables& variables)
{
    if (end - name > kMaxVariableName)
        return E_FAIL;
    char copy[kMaxVariableName + 1];
    CopyMemory(copy, name, end - name);
    copy[end - name] = '\0';
    LPCWSTR value = nullptr;
    HRESULT result = variables.Lookup(copy, &value);
    if (FAILED(result))
        return result;
    if (value == nullptr)
        return DISP_E_EXCEPTION;
    return out.AppendWide(value);
}
}

HRESULT ExpandScript(LPCSTR text, const ScriptVariables& variables, LPSTR* expanded)
{
    if (expanded == nullptr)
        return E_POINTER;
    *expanded = nullptr;
    if (text == nullptr)
        return E_INVALIDARG;

    ExpandedText out;
    HRESULT result = out.Start(static_cast<SIZE_T>(lstrlenA(text)) * 2);
    const char* c = text;
    while (SUCCEEDED(result) && *c != '\0') {
        const char* next = CharNextA(c);
        if (*c != '%') {
            result = out.Append(c, next - c);
            c = next;
        } else if (*next == '%') {
            result = out.Append("%", 1);
            c = next + 1;
        } else {
            const char* end = next;
            while (*end != '\0' && *end != '%')
                end = CharNextA(end);
            if (*end == '\0')
                return DISP_E_EXCEPTION;
            result = AppendVariable(out, next, end, variables);
            c = end + 1;  // a value is never scanned again
        }
    }
    if (SUCCEEDED(result))
        result = out.Append("", 1);
    if (FAILED(result))
        return result;
    *expanded = out.Release();
    return S_OK;
}
