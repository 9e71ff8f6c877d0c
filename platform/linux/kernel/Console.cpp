// kernel32: standard output and standard error, for program text.

#include "platform/linux/kernel/Handles.h"
#include "platform/Text.h"
#include "platform/Win32.h"

#include <unistd.h>

#include <cerrno>
#include <string>

namespace {

// A standard stream. It borrows the process's descriptor, so closing its
// handle leaves the stream open.
class StdStream : public platform::KernelObject {
public:
    explicit StdStream(int stream) : stream(stream) {}
    int Stream() const { return stream; }

private:
    int stream;
};

}  // namespace

HANDLE GetStdHandle(DWORD stdHandle)
{
    // One handle per stream for the life of the process, as on Windows.
    static const HANDLE output = platform::AddHandle(std::make_shared<StdStream>(STDOUT_FILENO));
    static const HANDLE error = platform::AddHandle(std::make_shared<StdStream>(STDERR_FILENO));
    if (stdHandle == STD_OUTPUT_HANDLE)
        return output;
    if (stdHandle == STD_ERROR_HANDLE)
        return error;
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPVOID)
{
    if (bytesWritten)
        *bytesWritten = 0;
    auto stream = platform::FindHandleOf<StdStream>(file);
    if (!stream || (buffer == nullptr && bytesToWrite != 0)) {
        SetLastError(stream ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const std::string text = platform::Cp932ToUtf8({static_cast<const char*>(buffer), bytesToWrite});
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(stream->Stream(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        done += static_cast<std::size_t>(n);
    }
    if (bytesWritten)
        *bytesWritten = bytesToWrite;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
