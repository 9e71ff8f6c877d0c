#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/linux/media/MidiEncoding.h"
#include "platform/linux/media/MidiMessageQueue.h"
#include "platform/Win32.h"

namespace {

bool HaveSequencer()
{
    return access("/dev/snd/seq", F_OK) == 0;
}

// One short message and the event it becomes. For note events the two fields
// are note and velocity, for the others controller number and value.
struct Encoding {
    DWORD message;
    snd_seq_event_type_t type;
    int channel;
    int first;
    int second;
};

bool IsNoteEvent(snd_seq_event_type_t type)
{
    return type == SND_SEQ_EVENT_NOTEON || type == SND_SEQ_EVENT_NOTEOFF || type == SND_SEQ_EVENT_KEYPRESS;
}

TEST(MidiEncoding, ShortMessagesBecomeTheirEvents)
{
    const Encoding table[] = {
        {0x000019C0, SND_SEQ_EVENT_PGMCHANGE, 0, 0, 25},  // steel-string guitar, as the program sends it
        {0x00403C90, SND_SEQ_EVENT_NOTEON, 0, 60, 64},      {0x00003C95, SND_SEQ_EVENT_NOTEON, 5, 60, 0},
        {0x00403C8F, SND_SEQ_EVENT_NOTEOFF, 15, 60, 64},    {0x00207FA3, SND_SEQ_EVENT_KEYPRESS, 3, 127, 32},
        {0x00007BB0, SND_SEQ_EVENT_CONTROLLER, 0, 123, 0},  {0x007F07B9, SND_SEQ_EVENT_CONTROLLER, 9, 7, 127},
        {0x000055D2, SND_SEQ_EVENT_CHANPRESS, 2, 0, 0x55},  {0x004000E0, SND_SEQ_EVENT_PITCHBEND, 0, 0, 0},
        {0x000000E1, SND_SEQ_EVENT_PITCHBEND, 1, 0, -8192}, {0x007F7FEE, SND_SEQ_EVENT_PITCHBEND, 14, 0, 8191},
        {0xFF80BCC1, SND_SEQ_EVENT_PGMCHANGE, 1, 0, 0x3C},  // high bits of data bytes and the top byte ignored
        {0x000012F1, SND_SEQ_EVENT_QFRAME, 0, 0, 0x12},     {0x007F01F2, SND_SEQ_EVENT_SONGPOS, 0, 0, (127 << 7) | 1},
        {0x000005F3, SND_SEQ_EVENT_SONGSEL, 0, 0, 5},       {0x000000F6, SND_SEQ_EVENT_TUNE_REQUEST, 0, 0, 0},
        {0x000000F8, SND_SEQ_EVENT_CLOCK, 0, 0, 0},         {0x000000FA, SND_SEQ_EVENT_START, 0, 0, 0},
        {0x000000FB, SND_SEQ_EVENT_CONTINUE, 0, 0, 0},      {0x000000FC, SND_SEQ_EVENT_STOP, 0, 0, 0},
        {0x000000FE, SND_SEQ_EVENT_SENSING, 0, 0, 0},       {0x000000FF, SND_SEQ_EVENT_RESET, 0, 0, 0},
    };
    for (const Encoding& row : table) {
        SCOPED_TRACE(testing::Message() << std::hex << row.message);
        snd_seq_event_t event;
        std::memset(&event, 0xA5, sizeof event);
        ASSERT_TRUE(platform::EncodeShortMessage(row.message, event));
        EXPECT_EQ(event.type, row.type);
        EXPECT_GT(platform::ShortMessageLength(row.message), 0);
        // What the sequencer port sends: the same event, to its subscribers at once.
        snd_seq_event_t sent, alone;
        snd_seq_ev_clear(&alone);
        platform::EncodeShortMessage(row.message, alone);
        ASSERT_TRUE(platform::EncodeForSubscribers(row.message, 3, sent));
        EXPECT_EQ(std::memcmp(&sent.data, &alone.data, sizeof alone.data), 0);
        EXPECT_EQ(sent.type, row.type);
        EXPECT_EQ(sent.source.port, 3);
        EXPECT_EQ(sent.dest.client, SND_SEQ_ADDRESS_SUBSCRIBERS);
        EXPECT_EQ(sent.queue, SND_SEQ_QUEUE_DIRECT);
        EXPECT_EQ(event.flags & SND_SEQ_EVENT_LENGTH_MASK, SND_SEQ_EVENT_LENGTH_FIXED);
        if (IsNoteEvent(row.type)) {
            EXPECT_EQ(event.data.note.channel, row.channel);
            EXPECT_EQ(event.data.note.note, row.first);
            EXPECT_EQ(event.data.note.velocity, row.second);
        } else {
            EXPECT_EQ(event.data.control.channel, row.channel);
            if (row.type == SND_SEQ_EVENT_CONTROLLER) {
                EXPECT_EQ(event.data.control.param, unsigned(row.first));
            }
            EXPECT_EQ(event.data.control.value, row.second);
        }
    }
}

TEST(MidiEncoding, MessagesWithoutAShortMeaningAreRefused)
{
    for (DWORD message : {0x00000000u, 0x0000193Cu, 0x0000007Fu, 0x000000F0u, 0x000000F7u, 0x000000F4u, 0x000000F5u,
                          0x000000F9u, 0x000000FDu}) {
        snd_seq_event_t event, before;
        std::memset(&event, 0x5A, sizeof event);
        before = event;
        EXPECT_FALSE(platform::EncodeShortMessage(message, event)) << std::hex << message;
        EXPECT_EQ(platform::ShortMessageLength(message), 0) << std::hex << message;
        EXPECT_EQ(std::memcmp(&event, &before, sizeof event), 0) << "event changed";
    }
}

TEST(MidiOut, OpenRefusesBadArguments)
{
    EXPECT_EQ(midiOutOpen(nullptr, MIDI_MAPPER, 0, 0, CALLBACK_NULL), MMSYSERR_INVALPARAM);
    HMIDIOUT midiOut = reinterpret_cast<HMIDIOUT>(&midiOut);
    EXPECT_EQ(midiOutOpen(&midiOut, 1, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(midiOut, nullptr);
    midiOut = reinterpret_cast<HMIDIOUT>(&midiOut);
    EXPECT_EQ(midiOutOpen(&midiOut, MIDI_MAPPER, 0, 0, 0x00030000), MMSYSERR_INVALFLAG) << "function callback";
    EXPECT_EQ(midiOut, nullptr);
    // The bytes on the wire, as JACK carries them.
    for (auto [message, length] :
         {std::pair{0x19C0u, 2}, {0x55D2u, 2}, {0x403C90u, 3}, {0x7F01F2u, 3}, {0x12F1u, 2}, {0xF8u, 1}, {0xFFu, 1}})
        EXPECT_EQ(platform::ShortMessageLength(message), length) << std::hex << message;
}

// Senders on two threads at once, into a ring shorter than what they send:
// each sender's messages arrive in its order, none twice, and a full ring
// refuses rather than overwrites.
TEST(MidiMessageQueue, SendersOnManyThreadsKeepTheirOrderAndAFullRingRefuses)
{
    platform::MidiMessageQueue<64> queue;
    constexpr DWORD PerSender = 20000;
    std::vector<DWORD> next(2, 0);
    std::atomic<int> done{0};
    auto send = [&](DWORD sender) {
        for (DWORD i = 0; i < PerSender;)
            i += queue.Push({sender << 24 | i, i}) ? 1 : 0;
        ++done;
    };
    std::thread first(send, 0), second(send, 1);
    while (done < 2 || !queue.Empty()) {
        if (std::optional<platform::TimedMessage> item = queue.Pop()) {
            DWORD& expected = next.at(item->message >> 24);
            ASSERT_EQ(item->message & 0xFFFFFF, expected);
            ++expected;
        }
    }
    first.join();
    second.join();
    EXPECT_EQ(next, std::vector<DWORD>(2, PerSender));

    for (DWORD i = 0; i < 64; ++i)
        ASSERT_TRUE(queue.Push({i, 0}));
    EXPECT_FALSE(queue.Push({64, 0}));
    EXPECT_EQ(queue.Pop()->message, 0u);
}

TEST(MidiOut, WithoutSequencerOpenFailsQuietly)
{
    if (HaveSequencer())
        GTEST_SKIP() << "this machine has a sequencer";
    for (UINT device : {MIDI_MAPPER, 0u}) {
        HMIDIOUT midiOut = reinterpret_cast<HMIDIOUT>(&midiOut);
        testing::internal::CaptureStderr();
        MMRESULT result = midiOutOpen(&midiOut, device, 0, 0, CALLBACK_NULL);
        std::string noise = testing::internal::GetCapturedStderr();
        EXPECT_EQ(result, MMSYSERR_BADDEVICEID);
        EXPECT_EQ(midiOut, nullptr);
        EXPECT_EQ(noise, "");
    }
    // The program goes on with the null handle.
    EXPECT_EQ(midiOutShortMsg(nullptr, 0x19C0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midiOutReset(nullptr), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midiOutClose(nullptr), MMSYSERR_INVALHANDLE);
}

TEST(MidiOut, ForeignHandlesAreRefusedAndLeftAlone)
{
    int unrelated = 0;
    HMIDIOUT bogus = reinterpret_cast<HMIDIOUT>(&unrelated);
    EXPECT_EQ(midiOutShortMsg(bogus, 0x19C0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midiOutReset(bogus), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midiOutClose(bogus), MMSYSERR_INVALHANDLE);

    // A file handle is a live handle, but not a MIDI device: it must stay open.
    char self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, self, sizeof self), 0u);
    HANDLE file = CreateFileA(self, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(midiOutShortMsg(reinterpret_cast<HMIDIOUT>(file), 0x19C0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midiOutClose(reinterpret_cast<HMIDIOUT>(file)), MMSYSERR_INVALHANDLE);
    EXPECT_NE(GetFileSize(file, nullptr), INVALID_FILE_SIZE);
    EXPECT_TRUE(CloseHandle(file));
}

TEST(MidiOut, WithSequencerOpensSendsResetsAndCloses)
{
    if (!HaveSequencer())
        GTEST_SKIP() << "no sequencer (/dev/snd/seq) on this machine";
    HMIDIOUT midiOut = nullptr;
    ASSERT_EQ(midiOutOpen(&midiOut, MIDI_MAPPER, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    ASSERT_NE(midiOut, nullptr);
    EXPECT_EQ(midiOutShortMsg(midiOut, 0x19C0), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutShortMsg(midiOut, 0x00403C90), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutShortMsg(midiOut, 0x000000F0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(midiOutReset(midiOut), MMSYSERR_NOERROR);
    EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(midiOut))) << "closed only by midiOutClose";
    EXPECT_EQ(midiOutClose(midiOut), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutClose(midiOut), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midiOutShortMsg(midiOut, 0x19C0), MMSYSERR_INVALHANDLE);
}

}  // namespace
