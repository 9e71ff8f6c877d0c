#include "platform/linux/media/MidiEncoding.h"

namespace platform {

bool EncodeShortMessage(DWORD message, snd_seq_event_t& event)
{
    const unsigned status = message & 0xFF;
    const unsigned char data1 = (message >> 8) & 0x7F;
    const unsigned char data2 = (message >> 16) & 0x7F;
    const unsigned char channel = status & 0x0F;
    if (status < 0x80)
        return false;  // no running status: every message carries its own

    snd_seq_event_t encoded = event;
    switch (status & 0xF0) {
    case 0x80:
        snd_seq_ev_set_noteoff(&encoded, channel, data1, data2);
        break;
    // Velocity 0 stays a note-on: receivers take it as a note-off, as on the wire.
    case 0x90:
        snd_seq_ev_set_noteon(&encoded, channel, data1, data2);
        break;
    case 0xA0:
        snd_seq_ev_set_keypress(&encoded, channel, data1, data2);
        break;
    case 0xB0:
        snd_seq_ev_set_controller(&encoded, channel, data1, data2);
        break;
    case 0xC0:
        snd_seq_ev_set_pgmchange(&encoded, channel, data1);
        break;
    case 0xD0:
        snd_seq_ev_set_chanpress(&encoded, channel, data1);
        break;
    case 0xE0:
        snd_seq_ev_set_pitchbend(&encoded, channel, ((data2 << 7) | data1) - 8192);
        break;
    default:
        // System common and real-time messages.
        snd_seq_ev_set_fixed(&encoded);
        encoded.data.control = {};
        switch (status) {
        case 0xF1:
            encoded.type = SND_SEQ_EVENT_QFRAME;
            encoded.data.control.value = data1;
            break;
        case 0xF2:
            encoded.type = SND_SEQ_EVENT_SONGPOS;
            encoded.data.control.value = (data2 << 7) | data1;
            break;
        case 0xF3:
            encoded.type = SND_SEQ_EVENT_SONGSEL;
            encoded.data.control.value = data1;
            break;
        case 0xF6:
            encoded.type = SND_SEQ_EVENT_TUNE_REQUEST;
            break;
        case 0xF8:
            encoded.type = SND_SEQ_EVENT_CLOCK;
            break;
        case 0xFA:
            encoded.type = SND_SEQ_EVENT_START;
            break;
        case 0xFB:
            encoded.type = SND_SEQ_EVENT_CONTINUE;
            break;
        case 0xFC:
            encoded.type = SND_SEQ_EVENT_STOP;
            break;
        case 0xFE:
            encoded.type = SND_SEQ_EVENT_SENSING;
            break;
        case 0xFF:
            encoded.type = SND_SEQ_EVENT_RESET;
            break;
        default:
            return false;  // 0xF0/0xF7 (system exclusive) and the undefined F4, F5, F9, FD
        }
    }
    event = encoded;
    return true;
}

int ShortMessageLength(DWORD message)
{
    const unsigned status = message & 0xFF;
    if (status < 0x80)
        return 0;
    switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
        return 2;
    case 0xF0:
        break;
    default:
        return 3;
    }
    switch (status) {
    case 0xF1:
    case 0xF3:
        return 2;
    case 0xF2:
        return 3;
    case 0xF6:
    case 0xF8:
    case 0xFA:
    case 0xFB:
    case 0xFC:
    case 0xFE:
    case 0xFF:
        return 1;
    default:
        return 0;
    }
}

bool EncodeForSubscribers(DWORD message, int port, snd_seq_event_t& event)
{
    snd_seq_ev_clear(&event);
    if (!EncodeShortMessage(message, event))
        return false;
    snd_seq_ev_set_source(&event, port);
    snd_seq_ev_set_subs(&event);
    snd_seq_ev_set_direct(&event);
    return true;
}

}  // namespace platform
