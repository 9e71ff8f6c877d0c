#pragma once
// Multimedia timers and MIDI output (included by platform/Win32.h).

// ---- Types ---------------------------------------------------------------

using MMRESULT = UINT;
using DWORD_PTR = std::uintptr_t;
using UINT_PTR = std::uintptr_t;

#ifndef CALLBACK
#define CALLBACK
#endif

// uMsg is 0 and dw1, dw2 are 0: only the id and the user value carry anything.
using LPTIMECALLBACK = void(CALLBACK*)(UINT uTimerID, UINT uMsg, DWORD_PTR dwUser, DWORD_PTR dw1, DWORD_PTR dw2);

struct HMIDIOUT__;
using HMIDIOUT = HMIDIOUT__*;
using LPHMIDIOUT = HMIDIOUT*;

// ---- Constants -------------------------------------------------------------

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT MIDIERR_NOTREADY = 67;

constexpr MMRESULT TIMERR_NOERROR = 0;
constexpr MMRESULT TIMERR_NOCANDO = 97;

constexpr UINT TIME_ONESHOT = 0x0000;
constexpr UINT TIME_CALLBACK_FUNCTION = 0x0000;

constexpr UINT MIDI_MAPPER = static_cast<UINT>(-1);
constexpr DWORD CALLBACK_NULL = 0x00000000;

// ---- Timers ----------------------------------------------------------------

// Arms a one-shot timer: after delay milliseconds (1 to 1000000) the callback
// runs once on the timer thread, which serves every timer one callback at a
// time and runs above ordinary threads where the process may raise it (lowest
// real-time priority, else nice -10). The resolution is accepted and ignored: deadlines are kept to the
// microsecond. Returns the timer id (never 0), or 0 for a null callback, a
// delay out of range, flags other than TIME_ONESHOT | TIME_CALLBACK_FUNCTION
// (periodic timers are not provided), or when 1024 timers are already pending.
// Allocates nothing after the first call.
MMRESULT timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags);

// Cancels a pending timer: TIMERR_NOERROR, and its callback never runs. An id
// that is unknown, 0 or already fired gives MMSYSERR_INVALPARAM. If the
// timer's callback is running at that moment, the call first waits for it to
// return, unless it comes from that callback itself, so that afterwards the
// callback neither runs nor will run.
MMRESULT timeKillEvent(UINT timerId);

// The timer thread always works at its finest resolution: these check that
// the period lies in 1 to 1000000 ms (else TIMERR_NOCANDO). timeBeginPeriod
// also starts the timer thread, so that the first timeSetEvent neither
// starts a thread nor allocates.
MMRESULT timeBeginPeriod(UINT period);
MMRESULT timeEndPeriod(UINT period);

// ---- MIDI output -----------------------------------------------------------

// Opens the one output device (MIDI_MAPPER or 0): a sequencer client
// "Strumkey" with one output port whose subscribers receive the messages
// and, where a JACK server runs, a JACK client "strumkey" with one MIDI
// output port "midi_out" (its library is loaded at run time). Only CALLBACK_NULL is
// accepted. With neither the result is MMSYSERR_BADDEVICEID and *midiOut is
// null. Up to 8 devices are open at once (else MMSYSERR_NOMEM).
MMRESULT midiOutOpen(LPHMIDIOUT midiOut, UINT deviceId, DWORD_PTR callback, DWORD_PTR instance, DWORD flags);

// Sends a packed short message: status byte in bits 0 to 7, the data bytes in
// bits 8 to 15 and 16 to 23 (7 bits each are used). Channel messages and the
// short system messages are sent; a message without a status byte (running
// status) or with system exclusive or an undefined status gives
// MMSYSERR_INVALPARAM. Any thread; no lock is taken and nothing allocated.
MMRESULT midiOutShortMsg(HMIDIOUT midiOut, DWORD message);

// All notes off, all sound off and sustain off on all 16 channels.
MMRESULT midiOutReset(HMIDIOUT midiOut);

MMRESULT midiOutClose(HMIDIOUT midiOut);
