#include "files/Paths.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace Mivo {

namespace {

constexpr const char* Separators = "\\/";

bool IsSeparator(const char* ch, int bytes)
{
    return bytes == 1 && (ch[0] == '\\' || ch[0] == '/');
}

// Bytes of the cp932 character at p (0 at the terminator); a lead byte
// directly before the terminator counts as one byte.
int CharBytes(const char* p)
{
    if (*p == 0)
        return 0;
    return IsLeadByte(static_cast<unsigned char>(p[0])) && p[1] != 0 ? 2 : 1;
}

// True when p points into the text of s (terminator included).
bool PointsInto(const char* p, const String& s)
{
    auto q = reinterpret_cast<std::uintptr_t>(p);
    auto b = reinterpret_cast<std::uintptr_t>(s.Text());
    return q >= b && q <= b + static_cast<std::uintptr_t>(s.Length());
}

}  // namespace

bool IsDrivePath(const char* path)
{
    return path != nullptr && path[0] != 0 && path[1] == ':';
}

bool IsAbsolutePath(const char* path)
{
    if (path == nullptr || path[0] == 0)
        return false;
    return (path[0] == '\\' && path[1] == '\\') || path[1] == ':';
}

void GetModulePath(HMODULE module, String& out)
{
    DWORD size = 256;
    for (;;) {
        char* buffer = out.GetBuffer(static_cast<int>(size));
        if (buffer == nullptr) {
            out.Clear();
            return;
        }
        DWORD written = GetModuleFileNameA(module, buffer, size);
        if (written == 0) {
            out.Clear();
            return;
        }
        if (written < size) {
            out.SetLength(static_cast<int>(written));
            return;
        }
        // Truncated: the name filled the whole buffer.
        size *= 2;
    }
}

void GetCurrentDir(String& out)
{
    DWORD size = MAX_PATH;
    for (;;) {
        char* buffer = out.GetBuffer(static_cast<int>(size));
        if (buffer == nullptr) {
            out.Clear();
            return;
        }
        DWORD result = GetCurrentDirectoryA(size, buffer);
        if (result == 0) {
            out.Clear();
            return;
        }
        if (result <= size) {
            out.SetLength(static_cast<int>(result));
            return;
        }
        // Too small: result is the size needed, terminator included.
        size = result;
    }
}

void AppendPath(String& path, const char* name)
{
    if (name == nullptr || name[0] == 0)
        return;
    if (PointsInto(name, path)) {
        // Appending the separator would change (or move) the name.
        String copy(name);
        AppendPath(path, copy.Text());
        return;
    }
    if (!path.IsEmpty() && path.FindLastChar('\\') != path.Length() - 1)
        path.AppendChar('\\');
    path.Append(name);
}

bool MakeAbsolute(String& path)
{
    if (IsAbsolutePath(path.Text()))
        return true;
    String dir;
    GetCurrentDir(dir);
    if (dir.IsEmpty())
        return false;
    AppendPath(dir, path.Text());
    path = dir;
    return true;
}

bool RemoveExtension(String& path)
{
    int slash = path.FindLastChar('\\');
    if (slash < 0)
        slash = 0;
    int dot = path.FindLastChar('.');
    if (slash < dot)
        path.Truncate(dot);
    return true;
}

int CountComponents(const char* path)
{
    if (path == nullptr || path[0] == 0)
        return 0;
    String rest(path);
    int count = 1;
    for (;;) {
        int at = rest.FindFirstOf(Separators);
        if (at < 0)
            break;
        if (at + 1 < rest.Length())
            ++count;
        rest.EraseFront(at + 1);
    }
    return count;
}

int RemoveLastComponents(String& path, int n)
{
    if (n <= 0)
        return 0;
    int count = CountComponents(path.Text());
    if (n >= count) {
        path.Clear();
        return count;
    }
    int keep = count - n;
    String rest(path);
    int end = 0;
    for (int i = 0; i < keep; ++i) {
        int at = rest.FindFirstOf(Separators);
        if (at < 0)
            break;
        end += at + 1;
        rest.EraseFront(at + 1);
    }
    // The separator after the kept part goes, except after a drive (C:\).
    if (!(keep == 1 && IsDrivePath(path.Text())))
        --end;
    path.Truncate(end);
    return n;
}

bool SetCurrentDirFromModule(const char* path)
{
    if (path == nullptr)
        path = "";
    if (IsAbsolutePath(path))
        return SetCurrentDirectoryA(path) != FALSE;
    String dir;
    GetModulePath(nullptr, dir);
    // Without the executable's path a relative name would land anywhere.
    if (dir.IsEmpty())
        return false;
    RemoveLastComponents(dir, 1);
    AppendPath(dir, path);
    return SetCurrentDirectoryA(dir.Text()) != FALSE;
}

void TrimSeparators(String& path)
{
    int leading = 0;
    while (leading < path.Length() && path.Text()[leading] == '\\')
        ++leading;
    if (leading == 1)
        path.EraseFront(1);
    else if (leading > 2)
        path.EraseFront(leading - 2);

    int last = path.Length() - 1;
    if (last >= 0 && path.FindLastChar('\\') == last && !(IsDrivePath(path.Text()) && path.Length() == 3))
        path.Truncate(last);
}

int ComparePath(const char* a, const char* b)
{
    if (a == nullptr)
        a = "";
    if (b == nullptr)
        b = "";
    for (;;) {
        int na = CharBytes(a);
        int nb = CharBytes(b);
        if (na == 0 && nb == 0)
            return 0;
        char ca[3] = {};
        char cb[3] = {};
        for (int i = 0; i < na; ++i)
            ca[i] = a[i];
        for (int i = 0; i < nb; ++i)
            cb[i] = b[i];
        int result = lstrcmpiA(ca, cb);
        if (result != 0) {
            // A separator sorts before any other character; '\\' and '/'
            // keep their own order, so that swapping a and b swaps the sign.
            if (na == 0 || nb == 0 || (IsSeparator(a, na) && IsSeparator(b, nb)))
                return result;
            if (IsSeparator(a, na))
                return -1;
            if (IsSeparator(b, nb))
                return 1;
            return result;
        }
        a += na;
        b += nb;
    }
}

bool NormalizePath(const char* name, String& out)
{
    if (name == nullptr)
        name = "";
    String rest(name);
    if (rest.FindText(".\\", 0) < 0) {
        out.Assign(name);
        return true;
    }

    std::vector<std::shared_ptr<String>> components;
    while (!rest.IsEmpty()) {
        auto component = std::make_shared<String>();
        int end = rest.FindChar('\\', 0);
        if (end >= 0) {
            component->AssignPrefix(rest.Text(), end);
            rest.EraseFront(end + 1);
        } else {
            component->Assign(rest.Text());
            rest.Clear();
        }

        int dots = 0;
        while (dots < component->Length() && component->Text()[dots] == '.')
            ++dots;
        if (dots == 0 || dots < component->Length()) {
            components.push_back(component);
            continue;
        }
        // "." stays where it is; ".." and longer climb dots - 1 named folders.
        int climbed = 0;
        while (climbed < dots - 1) {
            if (components.empty())
                return false;
            if (!components.back()->IsEmpty())
                ++climbed;
            components.pop_back();
        }
    }

    out.Clear();
    for (size_t i = 0; i < components.size(); ++i) {
        if (i > 0)
            out.AppendChar('\\');
        out.Append(components[i]->Text());
    }
    return true;
}

bool CanWriteFolder(const char* folder)
{
    String probe(folder);
    char name[40];
    std::snprintf(name, sizeof name, "~write-probe-%lu.tmp", static_cast<unsigned long>(GetCurrentProcessId()));
    AppendPath(probe, name);
    HANDLE file = CreateFileA(probe.Text(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)  // one left behind by a copy that died goes too, where it can
        return GetLastError() == ERROR_FILE_EXISTS && DeleteFileA(probe.Text());
    CloseHandle(file);
    DeleteFileA(probe.Text());
    return true;
}

DWORD DataShareMode(const char* path)
{
    String folder(path);
    MakeAbsolute(folder);
    RemoveLastComponents(folder, 1);
    return CanWriteFolder(folder.Text()) ? 0 : FILE_SHARE_READ;
}

}  // namespace Mivo
