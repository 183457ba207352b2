#include "program_log.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <vector>

#include "kestrova_log.h"

namespace kestrova {

namespace {

const char* levelWord(QtMsgType type) {
    switch (type) {
    case QtDebugMsg:
        return "debug";
    case QtInfoMsg:
        return "info";
    case QtWarningMsg:
        return "warning";
    case QtCriticalMsg:
        return "critical";
    case QtFatalMsg:
        return "fatal";
    }
    return "message";
}

void toLog(QtMsgType type, const QMessageLogContext&, const QString& text) {
    const QByteArray entry = QByteArray(program_invocation_short_name) + ": " + levelWord(type) +
                             ": " + text.toUtf8() + '\n';
    KestrovaLog_Write(entry.constData(), static_cast<size_t>(entry.size()));
    if (type != QtDebugMsg && type != QtInfoMsg) {
        std::fwrite(entry.constData(), 1, static_cast<size_t>(entry.size()), stderr);
        std::fflush(stderr);
    }
}

} // namespace

void installProgramLog() {
    KestrovaLog_Open();
    qInstallMessageHandler(toLog);
}

QString logFilePath() {
    std::vector<char> path(KestrovaLog_GetPath(nullptr, 0) + 1);
    KestrovaLog_GetPath(path.data(), path.size());
    return QFile::decodeName(path.data());
}

} // namespace kestrova
