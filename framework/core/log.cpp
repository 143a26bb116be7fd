// The text log. Every text is written on its own: the file is opened, the
// text appended and the file closed again, so nothing stays open between
// calls and a crash loses at most the text being written. The file is reached
// by its full name under the start directory; the current directory is left
// alone, since the game's own relative file opens may run beside a log write.
//
// All log calls run under the framework lock.
#include "core/log.h"

#include <cstdarg>
#include <cstring>

#include "core/memory.h"
#include "core/system_state.h"
#include "core/utility.h"
#include "platform/kernel.h"

namespace {

constexpr char kDefaultLogFileName[] = "Log.txt";
// Texts up to this length are converted in a buffer of the call; longer ones
// in tracked memory.
constexpr std::size_t kLocalTextLimit = 255;

// Lone line feeds become CR LF. Conversion stops at the first line feed that
// already has its carriage return: from there the text is taken as it stands.
// `out` must hold twice the text's length plus one. Returns the length.
std::size_t ConvertLineEnds(const char* in, char* out) {
    std::size_t i = 0;
    std::size_t o = 0;
    bool afterCarriageReturn = false;
    while (in[i] != '\0') {
        unsigned char c = static_cast<unsigned char>(in[i]);
        if (IsShiftJisLeadByte(c) && in[i + 1] != '\0') {
            out[o++] = in[i++];
            out[o++] = in[i++];
            afterCarriageReturn = false;
            continue;
        }
        if (c == '\n') {
            if (afterCarriageReturn) {
                std::size_t rest = std::strlen(in + i);
                std::memcpy(out + o, in + i, rest);
                o += rest;
                break;
            }
            out[o++] = '\r';
            out[o++] = '\n';
            ++i;
            continue;
        }
        out[o++] = static_cast<char>(c);
        ++i;
        afterCarriageReturn = (c == '\r');
    }
    out[o] = '\0';
    return o;
}

void WriteAll(HANDLE file, const char* bytes, std::size_t length) {
    while (length > 0) {
        DWORD chunk = length > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length);
        DWORD written = 0;
        if (!WriteFile(file, bytes, chunk, &written, nullptr) || written == 0) return;
        bytes += written;
        length -= written;
    }
}

// One tab per indent level, to the file and to the debugger output.
void WriteIndent(HANDLE file, std::uint32_t indent) {
    char tabs[65];
    std::memset(tabs, '\t', 64);
    while (indent > 0) {
        std::uint32_t n = indent > 64 ? 64 : indent;
        tabs[n] = '\0';
        WriteAll(file, tabs, n);
        OutputDebugStringA(tabs);
        tabs[n] = '\t';
        indent -= n;
    }
}

}  // namespace

bool MakeLogFilePath(char* out, std::size_t size) {
    const SystemState& s = g_SystemState;
    if (out == nullptr || size == 0) return false;
    out[0] = '\0';
    if (s.startDirectory[0] == '\0') return false;
    const char* name = s.logFileName[0] != '\0' ? s.logFileName : kDefaultLogFileName;
    const void* end = std::memchr(s.startDirectory, '\0', sizeof s.startDirectory);
    std::size_t dirLength = end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - s.startDirectory)
                                           : sizeof s.startDirectory;
    char last = s.startDirectory[dirLength - 1];
    const char* separator = (last == '\\' || last == '/') ? "" : "\\";
    char full[sizeof s.startDirectory + sizeof s.logFileName + 2];
    FormatString(full, sizeof full, "%.*s%s%s", static_cast<int>(dirLength), s.startDirectory, separator,
                 name);
    if (std::strlen(full) + 1 > size) return false;
    std::memcpy(out, full, std::strlen(full) + 1);
    return true;
}

int SetLogEnabled(int flag) {
    g_SystemState.logOff = flag == 0 ? 1 : 0;
    return 0;
}

int InitLogFile() {
    SystemState& s = g_SystemState;
    if (s.logOff != 0 || s.externalWindow != 0) return 1;

    if (s.logDateStamp != 0) {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        FormatString(s.logFileName, sizeof s.logFileName, "Log%u_%u_%u_%u_%u_%u.txt", now.wYear, now.wMonth,
                     now.wDay, now.wHour, now.wMinute, now.wSecond);
    } else {
        FormatString(s.logFileName, sizeof s.logFileName, "%s", kDefaultLogFileName);
    }

    // Each run starts with an empty log.
    char path[sizeof s.startDirectory + sizeof s.logFileName + 2];
    if (MakeLogFilePath(path, sizeof path)) {
        DeleteFileA(path);
        HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }

    s.logIndent = 0;
    s.logMidLine = 0;
    s.logStartTime = timeGetTime();
    return 1;
}

int WriteLogText(const char* text) {
    SystemState& s = g_SystemState;
    if (text == nullptr) return -1;
    bool toFile = s.logOff == 0 && s.startDirectory[0] != '\0';
    if (s.externalWindow == 0 && !toFile) return -1;  // no output at all

    // Convert line ends into a buffer of twice the text's length. When tracked
    // memory for a long text cannot be had, the text goes out unconverted
    // rather than being lost.
    std::size_t length = std::strlen(text);
    char local[kLocalTextLimit * 2 + 1];
    char* converted = local;
    if (length > kLocalTextLimit) {
        converted = length <= (kTrackedAllocMaxSize - 1) / 2
                        ? static_cast<char*>(TrackedAlloc(length * 2 + 1, nullptr, 0))
                        : nullptr;
    }
    const char* out = text;
    std::size_t outLength = length;
    if (converted != nullptr) {
        outLength = ConvertLineEnds(text, converted);
        out = converted;
    }
    auto finish = [&] {
        if (converted != nullptr && converted != local) TrackedFree(converted);
        return -1;
    };

    // The window belongs to a host program: the debugger output only.
    if (s.externalWindow != 0) {
        OutputDebugStringA(out);
        return finish();
    }

    char path[sizeof s.startDirectory + sizeof s.logFileName + 2];
    if (!MakeLogFilePath(path, sizeof path)) return finish();
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return finish();  // this text is lost; the caller goes on
    SetFilePointer(file, 0, nullptr, FILE_END);

    if (s.logMidLine == 0) {
        if (s.logNoTimePrefix == 0) {
            char prefix[16];
            // The milliseconds since the log began; the clock wraps, so the
            // difference is taken unsigned.
            FormatString(prefix, sizeof prefix, "%d:", static_cast<int>(timeGetTime() - s.logStartTime));
            WriteAll(file, prefix, std::strlen(prefix));
        }
        if (s.logIndent > 0) WriteIndent(file, s.logIndent);
    }

    WriteAll(file, out, outLength);
    OutputDebugStringA(out);
    s.logMidLine = (outLength == 0 || out[outLength - 1] != '\n') ? 1 : 0;
    CloseHandle(file);
    return finish();
}

int WriteLogFormatText(const char* format, ...) {
    char buffer[kLogFormatBufferSize];
    va_list args;
    va_start(args, format);
    FormatStringV(buffer, sizeof buffer, format, args);
    va_end(args);
    return WriteLogText(buffer);
}

int WriteLogFormat(const char* format, ...) {
    char buffer[kLogFormatBufferSize];
    va_list args;
    va_start(args, format);
    // One byte is kept back for the line feed.
    int length = FormatStringV(buffer, sizeof buffer - 1, format, args);
    va_end(args);
    if (length < 0) length = 0;
    buffer[length] = '\n';
    buffer[length + 1] = '\0';
    return WriteLogText(buffer);
}

int IncreaseLogIndent() {
    ++g_SystemState.logIndent;
    return 0;
}

int DecreaseLogIndent() {
    if (g_SystemState.logIndent > 0) --g_SystemState.logIndent;
    return 0;
}
