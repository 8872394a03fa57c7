#include "platform/video_encoder.h"

#include "platform/memory_surface.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

extern char** environ;

namespace {

bool EndsWith(const std::string& s, const char* suffix) {
    const size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

std::string FindProgram(const char* name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t colon = dirs.find(':', start);
        if (colon == std::string::npos) colon = dirs.size();
        const std::string candidate = dirs.substr(start, colon - start) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = colon + 1;
    }
    return "";
}

void Fail(VideoEncoder& encoder, const std::string& why) {
    if (!encoder.failed) encoder.error = why;
    encoder.failed = true;
}

// Opens a stream's FIFO once ffmpeg has opened it for reading.
void TryOpen(EncoderStream& stream) {
    if (stream.fd >= 0) return;
    const int fd = open(stream.fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;  // ENXIO: ffmpeg hasn't got to this input yet
    fcntl(fd, F_SETPIPE_SZ, 1 << 20);
    stream.fd = fd;
}

size_t Pending(const EncoderStream& stream) { return stream.pending.size() - stream.sent; }

constexpr int kClosed = -2;

// Hands ffmpeg what it will take until at most `limit` bytes wait; never
// blocks on one pipe while ffmpeg waits for the other. When `closing`, each
// stream ends as soon as it is drained, so that ffmpeg sees its end while
// still reading the other.
void Pump(VideoEncoder& encoder, size_t limit, bool closing = false) {
    EncoderStream* streams[2] = {&encoder.video, &encoder.audio};
    for (;;) {
        for (EncoderStream* stream : streams) {
            if (stream->fd == kClosed) continue;
            TryOpen(*stream);
            while (stream->fd >= 0 && Pending(*stream) > 0) {
                const ssize_t n = write(stream->fd, stream->pending.data() + stream->sent, Pending(*stream));
                if (n > 0) {
                    stream->sent += static_cast<size_t>(n);
                } else if (n < 0 && errno == EINTR) {
                    continue;
                } else if (n < 0 && errno == EAGAIN) {
                    break;
                } else {
                    Fail(encoder, "ffmpeg stopped taking data (see its message above)");
                    return;
                }
            }
            if (stream->sent == stream->pending.size()) {
                stream->pending.clear();
                stream->sent = 0;
                if (closing && stream->fd >= 0) {
                    close(stream->fd);
                    stream->fd = kClosed;
                }
            } else if (stream->sent > (1u << 22)) {
                stream->pending.erase(stream->pending.begin(), stream->pending.begin() + static_cast<long>(stream->sent));
                stream->sent = 0;
            }
        }
        const bool open = encoder.video.fd != kClosed || encoder.audio.fd != kClosed;
        if (Pending(encoder.video) + Pending(encoder.audio) <= limit && !(closing && open)) return;
        int status;
        if (waitpid(encoder.pid, &status, WNOHANG) == encoder.pid) {
            encoder.pid = -1;
            Fail(encoder, "ffmpeg ended before the recording did (see its message above)");
            return;
        }
        pollfd fds[2];
        nfds_t count = 0;
        for (EncoderStream* stream : streams) {
            if (stream->fd >= 0 && Pending(*stream) > 0) fds[count++] = {stream->fd, POLLOUT, 0};
        }
        // A stream not opened yet can't be polled; look again shortly.
        poll(fds, count, 10);
    }
}

void Queue(VideoEncoder& encoder, EncoderStream& stream, const void* data, size_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    stream.pending.insert(stream.pending.end(), bytes, bytes + size);
    Pump(encoder, 16u << 20);
}

}  // namespace

bool IsVideoPath(const std::string& path) { return EndsWith(path, ".mp4") || EndsWith(path, ".mkv"); }

bool OpenVideoEncoder(VideoEncoder& encoder, const std::string& path, int32_t scale, std::string& error) {
    const std::string ffmpeg = FindProgram("ffmpeg");
    if (ffmpeg.empty()) {
        error = "recording a video needs the ffmpeg program: install the Debian package ffmpeg "
                "(apt-get install ffmpeg), or record PNG frames with --record DIR";
        return false;
    }
    // Fail early, with the reason, if the file can't be written at all.
    const int probe = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (probe < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    close(probe);

    char dir[] = "/tmp/sixscene-record-XXXXXX";
    if (!mkdtemp(dir)) {
        error = std::string("cannot make a temporary folder: ") + std::strerror(errno);
        return false;
    }
    encoder.fifoDir = dir;
    const std::string video = encoder.fifoDir + "/video", audio = encoder.fifoDir + "/audio";
    if (mkfifo(video.c_str(), 0600) != 0 || mkfifo(audio.c_str(), 0600) != 0) {
        error = std::string("cannot make the pipes to ffmpeg: ") + std::strerror(errno);
        return false;
    }
    encoder.path = path;
    encoder.scale = scale;
    const bool mkv = EndsWith(path, ".mkv");
    const std::string size = std::to_string(320 * scale) + ":" + std::to_string(240 * scale);
    std::vector<std::string> args = {ffmpeg, "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
                                     "-f", "rawvideo", "-pix_fmt", "rgb24", "-s", "320x240",
                                     "-framerate", "60", "-i", video,
                                     "-f", "s16le", "-ar", "48000", "-ac", "2", "-i", audio,
                                     "-vf", "scale=" + size + ":flags=neighbor"};
    if (mkv) {
        args.insert(args.end(), {"-c:v", "ffv1", "-pix_fmt", "bgr0", "-c:a", "flac"});
    } else {
        args.insert(args.end(), {"-c:v", "libx264", "-preset", "veryfast", "-crf", "16", "-pix_fmt",
                                 "yuv420p", "-c:a", "aac", "-b:a", "192k", "-movflags", "+faststart"});
    }
    args.push_back(path);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    // ffmpeg must not see the Ctrl+C meant for us: we finish the file ourselves.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    const int spawned = posix_spawn(&encoder.pid, ffmpeg.c_str(), nullptr, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (spawned != 0) {
        error = "cannot start ffmpeg: " + std::string(std::strerror(spawned));
        return false;
    }
    signal(SIGPIPE, SIG_IGN);
    encoder.video.fifo = video;
    encoder.audio.fifo = audio;
    return true;
}

void EncodeFrame(VideoEncoder& encoder, const uint8_t* rgb) {
    if (encoder.failed) return;
    Queue(encoder, encoder.video, rgb, 320 * 240 * 3);
    ++encoder.frames;
}

void EncodeAudio(VideoEncoder& encoder, const float* samples, uint32_t frames) {
    if (encoder.failed) return;
    ToPcm16(samples, static_cast<size_t>(frames) * 2, encoder.pcm);
    Queue(encoder, encoder.audio, encoder.pcm.data(), encoder.pcm.size() * sizeof(int16_t));
}

bool CloseVideoEncoder(VideoEncoder& encoder) {
    // ffmpeg waits for each input to be opened, even an empty one; each
    // then ends when drained.
    if (encoder.pid > 0 && !encoder.failed) Pump(encoder, 0, true);
    for (EncoderStream* stream : {&encoder.video, &encoder.audio}) {
        if (stream->fd >= 0) close(stream->fd);
        stream->fd = -1;
    }
    if (encoder.pid > 0) {
        int status = 0;
        while (waitpid(encoder.pid, &status, 0) < 0 && errno == EINTR) {
        }
        encoder.pid = -1;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            if (!encoder.failed) encoder.error = "ffmpeg failed to write " + encoder.path;
            encoder.failed = true;
        }
    }
    if (!encoder.fifoDir.empty()) {
        unlink((encoder.fifoDir + "/video").c_str());
        unlink((encoder.fifoDir + "/audio").c_str());
        rmdir(encoder.fifoDir.c_str());
        encoder.fifoDir.clear();
    }
    return !encoder.failed;
}
