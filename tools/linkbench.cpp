// qmv-link-bench: what the link costs. Processor time used during a 10-second wait that gets no
// reply, and the round trip of a bell row and its "H" with the decoder running.

#include "qmvcomm.h"
#include "simulatorprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(10, QByteArray(argv[1]).toInt()) : 1000;
    qmvComm comm;

    const auto idleWait = [&](const char *what, const QStringList &faults, auto wait) {
        qmvsim::Simulator sim(QStringLiteral(QMV_CONTROLLER_SIM));
        if (!sim.start(faults)) {
            std::fprintf(stderr, "cannot start the simulator\n");
            return false;
        }
        comm.SetupPort();
        if (!comm.OpenPort()) {
            std::fprintf(stderr, "%s\n", qPrintable(comm.errorString()));
            return false;
        }
        QTimer::singleShot(10000, Qt::PreciseTimer, &comm, &qmvComm::abortWaits);
        QElapsedTimer wall;
        wall.start();
        const double cpuBefore = processorSeconds();
        wait();
        const double cpu = processorSeconds() - cpuBefore;
        const double seconds = double(wall.elapsed()) / 1000.0;
        comm.ClosePort();
        std::printf("%s, no reply: %.2f s, processor %.3f s = %.2f %% of one core\n", what, seconds,
                    cpu, 100.0 * cpu / seconds);
        return true;
    };
    if (!idleWait("connection wait", {QStringLiteral("--silent"), QStringLiteral("R")},
                  [&] { comm.WaitForReady(); }) ||
        !idleWait("flag wait with the decoder running",
                  {QStringLiteral("--silent"), QStringLiteral("H")}, [&] {
                      comm.startDecoder();
                      comm.sendCommand(QByteArrayLiteral("D07:4523105"));
                      comm.waitForFlag(comm.flagH, QString());
                  }))
        return 1;

    qmvsim::Simulator answering(QStringLiteral(QMV_CONTROLLER_SIM));
    if (!answering.start({})) {
        std::fprintf(stderr, "cannot start the simulator\n");
        return 1;
    }
    comm.SetupPort();
    if (!comm.OpenPort()) {
        std::fprintf(stderr, "%s\n", qPrintable(comm.errorString()));
        return 1;
    }
    comm.startDecoder();
    QList<double> trips;
    for (int i = 0; i < rows; ++i) {
        comm.flagH = false;
        QElapsedTimer trip;
        trip.start();
        comm.sendCommand(QByteArrayLiteral("D07:4523105"));
        if (comm.waitForFlag(comm.flagH, QStringLiteral("Prog Setting Problems . . .")) !=
            qmvComm::Outcome::Ok) {
            std::fprintf(stderr, "row %d not answered\n", i);
            return 1;
        }
        trips.append(double(trip.nsecsElapsed()) / 1e6);
    }
    comm.ClosePort();
    answering.stop();
    std::sort(trips.begin(), trips.end());
    std::printf("bell row round trip over %d rows: median %.2f ms, 99th percentile %.2f ms, "
                "max %.2f ms\n",
                rows, trips.at(trips.size() / 2), trips.at(trips.size() * 99 / 100), trips.last());
    return 0;
}
