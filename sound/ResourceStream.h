#pragma once
// A read-only SDL stream over one resource file (a disk file or an archive
// member), so that the mixer decodes samples straight from mapped memory.

#include <SDL_rwops.h>

namespace Mivo {

// A stream that owns a ResourceFile opened on path; null when the path cannot
// be opened (the SDL error text then says "Couldn't open <path>") or SDL has
// no memory for the record. StreamClose releases both.
SDL_RWops* OpenResourceStream(const char* path);

// The stream's callbacks. Seek origins 0, 1 and 2 count from the first byte,
// the position and the last byte.
int StreamSeek(SDL_RWops* context, int offset, int whence);
int StreamRead(SDL_RWops* context, void* ptr, int size, int maxnum);
int StreamWrite(SDL_RWops* context, const void* ptr, int size, int num);
int StreamClose(SDL_RWops* context);

}  // namespace Mivo
