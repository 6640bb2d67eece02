#pragma once
// Every time-out and pause of the program, in one table. Production values
// are fixed; tests scale them all down through one knob so that a failure path
// that takes seconds in life takes milliseconds in a test.

#include <chrono>

namespace mzt {

enum class Delay {
  // Serial link
  kWritePause,          // before every write
  kWriteDeadline,       // a write and the drain of its output queue
  kReaderPoll,          // the reader's wait for bytes, and its stop-flag latency
  kReaderBackoff,       // the reader's pause while the port is gone
  // Reply time-outs per command
  kReply108,
  kReply109,
  kReply113,
  kReply114,
  kReply995,
  kReply996,
  kReply999Data,        // header and data frame acknowledgements
  kReply999Control,     // start and end sentences
  // Device operations and file transfer
  kEnterUploadRetry,    // after each failed EnterUploadMode attempt
  kChunkPause,          // before each chunk
  kResendPause,         // after a status-2 acknowledgement
  kEndTransferPause,    // before the end sentence
  // Flows
  kConnectStart,        // the connect worker before it talks to the device
  kUploadModeRetry,     // before EnterUploadMode
  kAfterFirmwareFlags,  // between the firmware flags and the next step
  kAfterDatabaseVersion,
  kFileListingStep,     // between two file-table queries
  kAfterHttpResponse,
  kBeforeFileUpload,    // before FF01 and FF02 are sent
  kReplugClosePause,    // between closing the port and the replug dialog
  kReplugTick,          // the replug dialog's timer
  kReplugGonePause,     // after the device was seen gone
  kReplugPresentPause,  // twice after the device was seen back
  kWaitDialogTick,
  kPortListPoll,        // how soon an idle window lists a detector plugged in
  kUnattendedReplugPhase,  // the terminal's bound on each replug phase without a user
  // HTTP
  kHttpConnectTimeout,
  kHttpLowSpeedTime,    // a transfer below 1 byte/s for this long is aborted
  kHttpAnswerDeadline,  // a whole request for one of the server's short answers
  kHttpDownloadDeadline,  // a whole database download
  kHttpRateGrace,       // the download's average rate is checked from then on
  // Copy-data channel
  kCopyDataRequest,     // a client sends its whole request within this
  kCopyDataAnswer,      // the sender's wait for the desktop program's answer
  kCopyDataHungWindow,  // Windows: a window that does not answer within this is hung
  kCopyDataPoll,        // the server's poll, and the window's check for its own end
  kCopyDataUiStart,     // the window's UI thread starts a request within this
  kCopyDataRefusal,     // a started request refused comes back within this
  kCount
};

// A download slower than this on average since its request began (once
// kHttpRateGrace has passed) is given up. Bytes a second, never scaled: only
// the times are.
inline constexpr unsigned kHttpMinimumDownloadRate = 1024;

// The production value of a delay, in milliseconds.
int ProductionMilliseconds(Delay delay);

// Scaled down, a wait for the other side still leaves a busy machine time to
// answer: only the failure paths get shorter. Under ThreadSanitizer both sides
// run several times slower, so they get more of it.
#if defined(__SANITIZE_THREAD__)
inline constexpr std::chrono::milliseconds kMinScaledReply{500};
#else
inline constexpr std::chrono::milliseconds kMinScaledReply{250};
#endif

// The delay as the program waits it: the production value times the scale;
// a scaled time-out (a wait for the other side) stays at least kMinScaledReply
// (or its production value, if shorter).
std::chrono::milliseconds Duration(Delay delay);

// A wait for the other side given in production milliseconds (the serial
// port's time-outs), scaled like the table's reply time-outs.
std::chrono::milliseconds ScaledTimeout(int productionMilliseconds);

// Scale factor for every delay; 1.0 in production. Tests set it once, before
// any worker runs. Reads MZT_TIME_SCALE when InitTimingFromEnvironment is called.
void SetTimeScale(double scale);
double TimeScale();
void InitTimingFromEnvironment();

// Sleeps for the scaled delay.
void Pause(Delay delay);

}  // namespace mzt
