// Times CMediaLength::QueryLength over every file of a folder (one pass, page cache assumed
// warm) and prints the total and the time per file. length_query.sh runs it beside peer tools.
#include "codec/MediaLength.h"

#include <QCoreApplication>
#include <QDir>
#include <chrono>
#include <cstdio>
#include <ctime>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: length_query_bench FOLDER [PASSES]\n");
        return 2;
    }
    const QDir folder(arguments.at(1));
    const int passes = arguments.size() > 2 ? std::max(1, arguments.at(2).toInt()) : 1;
    QStringList paths;
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
        paths.append(folder.filePath(name));
    }
    if (paths.isEmpty()) {
        std::fprintf(stderr, "no files in %s\n", qPrintable(folder.path()));
        return 1;
    }

    std::int64_t firstLength = -1;
    int mismatches = 0;
    const auto started = std::chrono::steady_clock::now();
    const std::clock_t cpuStarted = std::clock();
    for (int pass = 0; pass < passes; ++pass) {
        for (const QString& path : paths) {
            const std::int64_t length = CMediaLength::QueryLength(path);
            if (firstLength < 0) {
                firstLength = length;
            } else if (length != firstLength) {
                ++mismatches;
            }
        }
    }
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - started;
    // Processor time as well: on a busy machine the wall clock also counts other programs' turns.
    const double cpuMilliseconds = double(std::clock() - cpuStarted) * 1000.0 / CLOCKS_PER_SEC;
    const double queries = double(paths.size()) * passes;

    std::printf("sorvane QueryLength: %lld queries, total %.1f ms, %.3f ms per file (%.3f ms processor time), "
                "length %lld ms%s\n",
                static_cast<long long>(queries), elapsed.count(), elapsed.count() / queries, cpuMilliseconds / queries,
                static_cast<long long>(firstLength), mismatches == 0 ? "" : " (lengths differ between files!)");
    return mismatches == 0 ? 0 : 1;
}
