// A temporary home inside the test home, with helpers that write files and bundle property lists.
#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

struct CleanupTestHome {
    QTemporaryDir dir{QDir::homePath() + "/cleanup-XXXXXX"};

    QString path(const QString& relative) const { return dir.path() + "/" + relative; }
    // A file of bytes bytes (its folders made), or of content.
    QString write(const QString& relative, qint64 bytes, const QByteArray& content = {}) const
    {
        const QString file = path(relative);
        QDir().mkpath(QFileInfo(file).path());
        QFile out(file);
        if (out.open(QIODevice::WriteOnly))
            out.write(content.isEmpty() ? QByteArray(bytes, 'x') : content);
        return file;
    }
    static QByteArray plist(const QList<std::pair<QString, QString>>& keys)
    {
        QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>";
        for (const auto& [key, value] : keys)
            xml += "<key>" + key.toUtf8() + "</key><string>" + value.toUtf8() + "</string>";
        return xml + "</dict></plist>";
    }
};
