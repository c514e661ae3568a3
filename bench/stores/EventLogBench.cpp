// The event log at 100,000 records (a mix of messages, calls and invitations, written once
// into a temporary folder): opening the event-log window's list (the log read and filtered by
// Query, the model filled, the first screen of rows formatted; offscreen), and archiving the
// whole log into LogArchive.txt. Prints one line each: the median and worst of --rounds.
//
//   qv_event_log_bench [--records N] [--rounds N]

#include <stdlib.h>

#include <QApplication>
#include <QInputDevice>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/FileIo.h"
#include "stores/CEventLogWindow.h"
#include "stores/EventLog.h"

namespace {

using Steady = std::chrono::steady_clock;

double Ms(Steady::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

std::string MakeLog(std::size_t records) {
    std::string data = qv::EventLog::Header();
    const std::uint8_t types[] = {1, 2, 4, 8, 32, 64};
    for (std::size_t i = 0; i < records; ++i) {
        qv::EventRecord r;
        r.type = types[i % 6];
        r.time = 1700000000u + static_cast<std::uint32_t>(i);
        r.id = std::to_string(1000 + i % 500);
        r.nickname = "Contact" + std::to_string(i % 500);
        if (r.type == 1 || r.type == 2) {
            r.text = "Message number " + std::to_string(i) + ", about the meeting on Friday";
        } else if (r.type == 32 || r.type == 64) {
            r.text = "/Friends/Room" + std::to_string(i % 40);
        }
        data += qv::EventLog::EncodeRecord(r);
    }
    return data;
}

struct Result {
    double median = 0;
    double worst = 0;
};

Result Summary(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t records = 100000;
    int rounds = 7;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--records") == 0) {
            records = std::strtoul(argv[i + 1], nullptr, 10);
        } else if (std::strcmp(argv[i], "--rounds") == 0) {
            rounds = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QInputDevice::devices();
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

    char pattern[] = "/tmp/qv-event-log-bench-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string folder = std::string(made) + "/";
    const std::string logPath = folder + qv::EventLog::kFileName;
    const std::string contents = MakeLog(records);

    std::vector<double> show;
    std::vector<double> archive;
    for (int round = 0; round < rounds; ++round) {
        if (!qv::WriteFileAtomically(logPath, contents)) {
            std::fprintf(stderr, "cannot write %s\n", logPath.c_str());
            return 1;
        }
        qv::EventLog log;
        if (!log.Open(logPath)) {
            std::fprintf(stderr, "cannot open %s\n", logPath.c_str());
            return 1;
        }
        qv::EventLogModel model;
        const Steady::time_point start = Steady::now();
        model.SetRecords(log.Query({}));
        // What a screen of rows draws.
        std::size_t chars = 0;
        for (int r = 0; r < std::min(40, model.rowCount()); ++r) {
            for (int c = 0; c < model.columnCount(); ++c) {
                chars += static_cast<std::size_t>(model.index(r, c).data().toString().size());
            }
        }
        show.push_back(Ms(Steady::now() - start));
        if (model.rowCount() != static_cast<int>(records) || chars == 0) {
            std::fprintf(stderr, "read %d records of %zu\n", model.rowCount(), records);
            return 1;
        }
        std::filesystem::remove(folder + qv::EventLog::kArchiveName);
        const Steady::time_point archiveStart = Steady::now();
        if (!log.Archive(log.ArchivePath())) {
            std::fprintf(stderr, "archive failed\n");
            return 1;
        }
        archive.push_back(Ms(Steady::now() - archiveStart));
    }
    const Result s = Summary(show);
    const Result a = Summary(archive);
    std::printf("event log show %zu records: median %.1f ms, worst %.1f ms (%d rounds)\n", records,
                s.median, s.worst, rounds);
    std::printf("event log archive %zu records: median %.1f ms, worst %.1f ms (%d rounds)\n",
                records, a.median, a.worst, rounds);
    std::filesystem::remove_all(folder);
    return 0;
}
