// The program entry: reads the options, brings up the host and plays.
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/show.h"
#include "app/options.h"
#include "platform/backends.h"

#ifndef SIXSCENE_VERSION
#define SIXSCENE_VERSION "dev"
#endif
#ifndef SIXSCENE_SUMMARY
#define SIXSCENE_SUMMARY "an audiovisual show"
#endif

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "sixscene: %s\nTry 'sixscene --help'.\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(UsageText(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("sixscene %s\n", SIXSCENE_VERSION);
        return 0;
    }
    if (options.man) {
        std::fputs(ManPage(SIXSCENE_VERSION, SIXSCENE_SUMMARY).c_str(), stdout);
        return 0;
    }

    Host host;
    const bool made = options.mode == DisplayMode::Headless ? MakeHeadlessHost(options, host, error)
                                                            : MakeDisplayHost(options, host, error);
    if (!made) {
        std::fprintf(stderr, "sixscene: %s\n", error.c_str());
        return 1;
    }
    SetPluginPath(options.plugin);

    // Everything the show owns lives until the process ends.
    static Show* const shown = new Show;
    Show& show = *shown;
    show.host = &host;
    show.dataDir = options.dataDir.empty() ? DefaultDataDir() : options.dataDir;
    // Said first: the file that can't be read next follows from it.
    std::error_code ignored;
    if (options.dataDir.empty() && !std::filesystem::is_directory(show.dataDir + "/bitmap", ignored)) {
        const std::string program = ExecutableDir();
        std::fprintf(stderr, "sixscene: found no show data in %s or in %s/../share/sixscene\n", program.c_str(),
                     program.c_str());
    } else if (!std::filesystem::is_directory(show.dataDir, ignored)) {
        const bool file = std::filesystem::exists(show.dataDir, ignored);
        std::fprintf(stderr, file ? "sixscene: the data folder %s is a file, not a folder\n"
                                  : "sixscene: the data folder %s does not exist\n",
                     show.dataDir.c_str());
    }
    show.controls.loop = options.loop;
    show.controls.startRow = options.startRow;
    const int status = RunShow(show);
    if (status == 0 && options.mode == DisplayMode::Headless) {
        if (StderrIsTerminal()) std::fputs("\r\x1b[K", stderr);  // over the progress bar
        std::fprintf(stderr, "sixscene: the show ended at position %d after %lld frames\n", show.position,
                     static_cast<long long>(show.frames));
    }
    host.exitProcess(host.self, status);
}
