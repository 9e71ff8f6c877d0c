#include "sound/ResourceStream.h"

#include "files/ResourceFile.h"

#include <SDL_error.h>

#include <cstdint>
#include <memory>

namespace Mivo {

namespace {

ResourceFile* FileOf(SDL_RWops* context)
{
    return context != nullptr ? static_cast<ResourceFile*>(context->hidden.unknown.data1) : nullptr;
}

}  // namespace

SDL_RWops* OpenResourceStream(const char* path)
{
    auto file = std::make_unique<ResourceFile>();
    if (!file->Open(path)) {
        SDL_SetError("Couldn't open %s", path != nullptr ? path : "");
        return nullptr;
    }
    SDL_RWops* stream = SDL_AllocRW();
    if (stream == nullptr)
        return nullptr;  // SDL has set its own error text
    stream->seek = StreamSeek;
    stream->read = StreamRead;
    stream->write = StreamWrite;
    stream->close = StreamClose;
    stream->type = 0;
    stream->hidden.unknown.data1 = file.release();
    return stream;
}

int StreamSeek(SDL_RWops* context, int offset, int whence)
{
    ResourceFile* file = FileOf(context);
    if (file == nullptr || !file->Seek(offset, whence)) {
        SDL_SetError("seek error");
        return -1;
    }
    return file->Tell();
}

int StreamRead(SDL_RWops* context, void* ptr, int size, int maxnum)
{
    ResourceFile* file = FileOf(context);
    if (file == nullptr)
        return -1;
    if (size <= 0 || maxnum <= 0)
        return 0;

    // In 64 bits: size * maxnum may not fit an int.
    const std::int64_t position = file->Tell();
    const std::int64_t total = file->Size();
    if (position < 0 || position >= total)
        return 0;
    if (position + std::int64_t{size} * maxnum > total) {
        // Whole objects only: a partial one at the end stays unread.
        maxnum = static_cast<int>((total - position) / size);
        if (maxnum == 0)
            return 0;
    }
    const int copied = file->Read(ptr, size * maxnum);
    return copied > 0 ? copied / size : 0;
}

int StreamWrite(SDL_RWops*, const void*, int, int)
{
    return -1;
}

int StreamClose(SDL_RWops* context)
{
    if (context == nullptr)
        return 0;
    delete FileOf(context);
    context->hidden.unknown.data1 = nullptr;
    SDL_FreeRW(context);
    return 0;
}

}  // namespace Mivo
