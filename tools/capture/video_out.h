// A video file made by Debian's ffmpeg program, fed through two pipes while
// the frames are rendered: raw RGB frames on its standard input and raw
// 16-bit mono sound on its descriptor 3. The file's extension chooses what
// it holds: ".mp4" H.264 + AAC for watching and sharing, ".mkv" a lossless
// master (FFV1 in RGB + FLAC in Matroska) whose frames and sound decode to
// exactly the bytes that were sent. Nothing but the sound not
// yet taken by ffmpeg is held here, and no frame is kept after it is sent.
//
// ffmpeg writes to a temporary name beside the asked file ("FILE.PID.part"),
// which is renamed to the asked name only once ffmpeg has finished with
// status 0; on every failure the temporary file is removed, so the asked
// name never holds a half-written video.
//
// Nothing here waits on ffmpeg for ever: when it takes neither frames nor
// sound for `stall_seconds`, or writes nothing for that long after the end
// of its input without finishing, it is ended (SIGTERM, then SIGKILL when it does not go), waited
// for, and the call fails with a reason that names the stall.
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>

enum class VideoKind { unknown, mp4, master };

// The kind of file a name asks for, by its extension (in any case).
VideoKind video_kind(const char* path);

struct VideoOut {
  int pid = -1;       // ffmpeg's process, -1 when none runs
  int video_fd = -1;  // our end of its standard input
  int audio_fd = -1;  // our end of its descriptor 3
  size_t frame_bytes = 0;
  // How long ffmpeg may take nothing before the capture gives up on it.
  int stall_seconds = 30;
  // When set and non-zero after a signal, waiting on ffmpeg gives up.
  volatile sig_atomic_t* stop = nullptr;
  char path[4096] = {};
  char temp_path[4096] = {};
};

// Starts `ffmpeg` (found through PATH) for width x height frames (both
// even for an MP4) at fps frames per second, with mono sound at `rate` Hz,
// into a file of the kind its name asks for. Returns 1 on success; 0 with a
// one-line reason in `why` when the name is too long or has no known
// extension, when ffmpeg cannot be started (missing from PATH, say) or when
// it lacks an encoder the kind needs (asked with `ffmpeg -encoders`).
int video_open(VideoOut& v, const char* path, int width, int height, int fps, int rate, char* why,
               int why_size);

// Queues 16-bit little-endian mono sound (`bytes` bytes) for ffmpeg; it is
// sent while frames are written. Returns 0 when more than a minute and a
// half of sound waits unsent, which means ffmpeg has stopped reading it.
int video_sound(VideoOut& v, const uint8_t* bytes, size_t count, char* why, int why_size);

// Sends one frame of width x height x 3 bytes, rows top first, keeping the
// queued sound flowing meanwhile. Returns 0 with a reason when ffmpeg has
// stopped reading (it exited or failed, or stalled).
int video_frame(VideoOut& v, const uint8_t* rgb, char* why, int why_size);

// Sends the rest of the sound, ends both streams and waits for ffmpeg. On
// its success renames the file to the asked name and returns 1; otherwise
// removes the temporary file and returns 0 with a reason.
int video_finish(VideoOut& v, char* why, int why_size);

// Gives up: ends ffmpeg, waits for it and removes the temporary file.
void video_abandon(VideoOut& v);
