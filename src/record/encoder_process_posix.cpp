// The ffmpeg process on POSIX systems: spawned in its own process group,
// fed through two FIFOs without ever blocking.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "record/encoder_process.h"

extern char** environ;

// One pipe into ffmpeg, with what it hasn't taken yet. ffmpeg opens and
// reads its inputs one after the other, so writes never block: data waits
// here (a few frames' worth) until ffmpeg takes it.
struct EncoderStream {
    std::string fifo;
    int fd = -1;
    std::vector<uint8_t> pending;
    size_t sent = 0;
};

struct EncoderProcess {
    std::string fifoDir;
    pid_t pid = -1;
    EncoderStream video;
    EncoderStream audio;
};

namespace {

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
    EncoderProcess& process = *encoder.process;
    EncoderStream* streams[2] = {&process.video, &process.audio};
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
                    FailEncoder(encoder, "ffmpeg stopped taking data (see its message above)");
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
        const bool open = process.video.fd != kClosed || process.audio.fd != kClosed;
        if (Pending(process.video) + Pending(process.audio) <= limit && !(closing && open)) return;
        int status;
        if (waitpid(process.pid, &status, WNOHANG) == process.pid) {
            process.pid = -1;
            FailEncoder(encoder, "ffmpeg ended before the recording did (see its message above)");
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

}  // namespace

bool StartEncoderProcess(VideoEncoder& encoder, std::string& error) {
    const std::string ffmpeg = FindProgram("ffmpeg");
    if (ffmpeg.empty()) {
        error = "recording a video needs the ffmpeg program: install the Debian package ffmpeg "
                "(apt-get install ffmpeg), or record PNG frames with --record DIR";
        return false;
    }
    // Fail early, with the reason, if the file can't be written at all.
    const int probe = open(encoder.path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (probe < 0) {
        error = encoder.path + ": " + std::strerror(errno);
        return false;
    }
    close(probe);

    EncoderProcess* process = new EncoderProcess;
    encoder.process = process;
    char dir[] = "/tmp/sixscene-record-XXXXXX";
    if (!mkdtemp(dir)) {
        error = std::string("cannot make a temporary folder: ") + std::strerror(errno);
        return false;
    }
    process->fifoDir = dir;
    const std::string video = process->fifoDir + "/video", audio = process->fifoDir + "/audio";
    if (mkfifo(video.c_str(), 0600) != 0 || mkfifo(audio.c_str(), 0600) != 0) {
        error = std::string("cannot make the pipes to ffmpeg: ") + std::strerror(errno);
        return false;
    }
    std::vector<std::string> args = FfmpegArguments(encoder, ffmpeg, video, audio);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    // ffmpeg must not see the Ctrl+C meant for us: we finish the file ourselves.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    const int spawned = posix_spawn(&process->pid, ffmpeg.c_str(), nullptr, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (spawned != 0) {
        error = "cannot start ffmpeg: " + std::string(std::strerror(spawned));
        return false;
    }
    signal(SIGPIPE, SIG_IGN);
    process->video.fifo = video;
    process->audio.fifo = audio;
    return true;
}

void SendToEncoder(VideoEncoder& encoder, EncoderInput input, const void* data, size_t size) {
    EncoderStream& stream = input == EncoderInput::Video ? encoder.process->video : encoder.process->audio;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    stream.pending.insert(stream.pending.end(), bytes, bytes + size);
    Pump(encoder, 16u << 20);
}

void FinishEncoderProcess(VideoEncoder& encoder) {
    EncoderProcess* process = encoder.process;
    if (!process) return;
    // ffmpeg waits for each input to be opened, even an empty one; each
    // then ends when drained.
    if (process->pid > 0 && !encoder.failed) Pump(encoder, 0, true);
    for (EncoderStream* stream : {&process->video, &process->audio}) {
        if (stream->fd >= 0) close(stream->fd);
        stream->fd = -1;
    }
    if (process->pid > 0) {
        int status = 0;
        while (waitpid(process->pid, &status, 0) < 0 && errno == EINTR) {
        }
        process->pid = -1;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            FailEncoder(encoder, "ffmpeg failed to write " + encoder.path);
        }
    }
    if (!process->fifoDir.empty()) {
        unlink((process->fifoDir + "/video").c_str());
        unlink((process->fifoDir + "/audio").c_str());
        rmdir(process->fifoDir.c_str());
        process->fifoDir.clear();
    }
    delete process;
    encoder.process = nullptr;
}
