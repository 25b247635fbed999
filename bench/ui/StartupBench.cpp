// Start-up figure: the time from starting VexoraV2 (offscreen, on a running simulator) until its
// login window is shown, beside the time a bare QApplication needs to show an empty window,
// both measured the same way in the same run: the process is started, the file it writes when
// its window is up (VexoraV2's log, the reference's marker file) is watched, and the process is
// ended once the line appeared. One warm-up start of each, then ROUNDS starts alternating.
//
// vx_startup_bench VEXORAV2 BARE_WINDOW CONFIG_INI WORK_DIR [ROUNDS]

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Probe
{
    QString program;
    QStringList args;
    QString watched; // the file that receives the line
    QByteArray line;
    QProcessEnvironment env;
    QString errors; // where the program's standard error goes
};

// Milliseconds from start until the line appears past the file's old end; -1 on failure.
double TimeToShown(const Probe& p, int timeoutMs)
{
    QFile f(p.watched);
    const qint64 before = f.exists() ? f.size() : 0;
    QProcess proc;
    proc.setProcessEnvironment(p.env);
    proc.setStandardOutputFile(QProcess::nullDevice());
    proc.setStandardErrorFile(p.errors);
    QElapsedTimer clock;
    clock.start();
    proc.start(p.program, p.args);
    double ms = -1;
    while (clock.elapsed() < timeoutMs) {
        if (f.exists() && f.size() > before && f.open(QIODevice::ReadOnly)) {
            f.seek(before);
            const bool found = f.readAll().contains(p.line);
            f.close();
            if (found) {
                ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
                break;
            }
        }
        if (proc.state() == QProcess::NotRunning && !proc.waitForStarted(0))
            break;
        QThread::usleep(500);
    }
    proc.terminate();
    if (!proc.waitForFinished(5000)) {
        proc.kill();
        proc.waitForFinished(5000);
    }
    return ms;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 5) {
        fprintf(stderr, "usage: %s VEXORAV2 BARE_WINDOW CONFIG_INI WORK_DIR [ROUNDS]\n", argv[0]);
        return 2;
    }
    const QString work = QString::fromLocal8Bit(argv[4]);
    const int rounds = argc > 5 ? std::max(1, atoi(argv[5])) : 10;
    QDir().mkpath(work + QStringLiteral("/data"));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    Probe vx{QString::fromLocal8Bit(argv[1]), {},  work + QStringLiteral("/data/Log/log.txt"),
             "Info : login window shown",     env, work + QStringLiteral("/vexora.err")};
    vx.env.insert(QStringLiteral("VEXORA_DATA_DIR"), work + QStringLiteral("/data"));
    vx.env.insert(QStringLiteral("VEXORA_CONFIG"), QString::fromLocal8Bit(argv[3]));
    const QString marker = work + QStringLiteral("/bare-shown.txt");
    Probe bare{QString::fromLocal8Bit(argv[2]),   {marker}, marker, "shown", env,
               work + QStringLiteral("/bare.err")};

    // Warm-up: the first start makes the data folder and fills the page cache.
    if (TimeToShown(vx, 30000) < 0 || TimeToShown(bare, 30000) < 0) {
        fprintf(stderr, "a program did not show its window within 30 s (see %s/*.err)\n", argv[4]);
        return 1;
    }
    std::vector<double> vxMs, bareMs;
    for (int i = 0; i < rounds; ++i) {
        const double a = TimeToShown(vx, 30000), b = TimeToShown(bare, 30000);
        if (a < 0 || b < 0) {
            fprintf(stderr, "a program did not show its window within 30 s\n");
            return 1;
        }
        vxMs.push_back(a);
        bareMs.push_back(b);
    }
    const double mv = Median(vxMs), mb = Median(bareMs);
    printf("Start-up to a shown window, offscreen, median of %d starts (min .. max)\n", rounds);
    printf("  VexoraV2 login window      %8.1f ms  (%.1f .. %.1f)\n", mv,
           *std::min_element(vxMs.begin(), vxMs.end()), *std::max_element(vxMs.begin(), vxMs.end()));
    printf("  bare QApplication + window %8.1f ms  (%.1f .. %.1f)\n", mb,
           *std::min_element(bareMs.begin(), bareMs.end()), *std::max_element(bareMs.begin(), bareMs.end()));
    printf("  ratio VexoraV2 / bare      %8.2f\n", mb > 0 ? mv / mb : 0.0);
    printf("  goal < 1000 ms: %s\n", mv < 1000 ? "met" : "NOT met");
    return mv < 1000 ? 0 : 1;
}
