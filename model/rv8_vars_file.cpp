#include "model/rv8_vars.h"

#include <QDebug>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include <cerrno>
#include <unistd.h>
#include <QSettings>

namespace {

const char group_name[] = "rv8_vars";

// Qt reports a short write as written; the system's own answer tells a full disk or a file size
// limit from success.
bool write_all(int fd, const QByteArray& data, QString* why)
{
    qint64 done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *why = qt_error_string(n < 0 ? errno : ENOSPC);
            return false;
        }
        done += n;
    }
    return true;
}

}  // namespace

bool rv8_vars::vars_to_file(QString path, QString* reason)
{
    // QSettings merges into an existing file and cannot tell why a write failed, so the text is
    // made in a scratch folder and then replaces the file in one step: a full disk or a quota
    // leaves the old file as it was.
    QString why;
    const QByteArray text = settings_text(&why);
    QSaveFile out(path);
    if (!why.isEmpty()) {
        qCritical().noquote() << "Could not write to" << path << ":" << why;
    } else if (!out.open(QIODevice::WriteOnly)) {
        qCritical().noquote() << "File" << path << "is not writable";
        why = out.errorString();
    } else if (!write_all(out.handle(), text, &why) || !out.commit()) {
        if (why.isEmpty())
            why = out.errorString();
        out.cancelWriting();
        qCritical().noquote() << "Could not write to" << path << ":" << why;
    } else {
        return true;
    }
    if (reason)
        *reason = why;
    return false;
}

QByteArray rv8_vars::settings_text(QString* why) const
{
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        *why = scratch.errorString();
        return QByteArray();
    }
    const QString draft = scratch.filePath(QStringLiteral("settings.bnini"));
    {
        QSettings file(draft, QSettings::IniFormat);
        file.beginGroup(group_name);

        file.beginWriteArray("tables");
        for (table_index i : qAsConst(tables_set)) {
            file.setArrayIndex(i);
            file.setValue(table_names[i], tables[i]);
        }
        file.endArray();

        file.beginWriteArray("ints");
        for (int_index i : qAsConst(ints_set)) {
            file.setArrayIndex(i);
            file.setValue(int_names[i], ints[i]);
        }
        file.endArray();

        file.beginWriteArray("trims");
        for (adc_trim_index i : qAsConst(trims_set)) {
            file.setArrayIndex(i);
            file.setValue(trim_names[i] + "/pol", trims[i].pol);
            file.setValue(trim_names[i] + "/value", trims[i].value);
        }
        file.endArray();

        file.endGroup();
        file.sync();
        if (file.status() != QSettings::NoError) {
            *why = QStringLiteral("the settings could not be written to %1").arg(scratch.path());
            return QByteArray();
        }
    }
    QFile made(draft);
    if (!made.open(QIODevice::ReadOnly)) {
        *why = made.errorString();
        return QByteArray();
    }
    const QByteArray text = made.readAll();
    // QSettings takes a short write for a whole one: read the draft back before trusting it,
    // under another name, since QSettings would answer the first from what it holds in memory.
    if (!draft_complete(text, scratch.filePath(QStringLiteral("check.bnini")))) {
        *why = QStringLiteral("the settings could not be written in full (the disk may be full or a file size limit reached)");
        return QByteArray();
    }
    return text;
}

bool rv8_vars::draft_complete(const QByteArray& text, const QString& copy) const
{
    QFile out(copy);
    QString why;
    if (!out.open(QIODevice::WriteOnly) || !write_all(out.handle(), text, &why))
        return false;
    out.close();
    QSettings file(copy, QSettings::IniFormat);
    if (file.status() != QSettings::NoError)
        return false;
    file.beginGroup(group_name);
    bool same = true;
    file.beginReadArray("tables");
    for (table_index i : qAsConst(tables_set)) {
        file.setArrayIndex(i);
        same = same && file.value(table_names[i]).toByteArray() == tables[i];
    }
    file.endArray();
    file.beginReadArray("ints");
    for (int_index i : qAsConst(ints_set)) {
        file.setArrayIndex(i);
        same = same && file.value(int_names[i]).toString() == QString::number(ints[i]);
    }
    file.endArray();
    file.beginReadArray("trims");
    for (adc_trim_index i : qAsConst(trims_set)) {
        file.setArrayIndex(i);
        same = same && file.value(trim_names[i] + "/value").toString() == QString::number(trims[i].value);
    }
    file.endArray();
    return same;
}

bool rv8_vars::file_to_vars(QString path, QList<QString>& warnings)
{
    if (!QFile::exists(path)) {
        qCritical().noquote() << "Settings file not found" << path;
        return false;
    }
    QSettings file(path, QSettings::IniFormat);
    file.sync();
    if (file.status() != QSettings::NoError) {
        qCritical() << "Could not sync settings file";
        return false;
    }
    const int first_new = warnings.size();
    file.beginGroup(group_name);
    tables_from_file(file, warnings);
    ints_from_file(file, warnings);
    trims_from_file(file, warnings);
    file.endGroup();
    initialized = true;

    if (warnings.size() > first_new) {
        qWarning() << "Warnings detected while parsing settings file:";
        for (int k = first_new; k < warnings.size(); ++k)
            qDebug().noquote() << "  *" << warnings[k];
    }
    return true;
}

void rv8_vars::tables_from_file(QSettings& file, QList<QString>& warnings)
{
    file.beginReadArray("tables");
    for (int i = 0; i < tbl_last; ++i) {
        file.setArrayIndex(i);
        if (file.contains(table_names[i])) {
            QVariant v = file.value(table_names[i]);
            // Text would convert to its own bytes; only a stored byte array is a table.
            tables[i] = v.userType() == QMetaType::QByteArray ? v.toByteArray() : QByteArray();
        } else if (i <= tbl_gpo2) {
            warnings.append(
                QString("Table %1 does not exist in settings file, keeping the current settings.").arg(table_names[i]));
        }
    }
    file.endArray();
}

void rv8_vars::ints_from_file(QSettings& file, QList<QString>& warnings)
{
    const int count = qMin(file.beginReadArray("ints"), int(int_last));
    for (int i = 0; i < count; ++i) {
        file.setArrayIndex(i);
        // Read through text: a number beyond the signed 32-bit range must fail, not wrap.
        if (file.contains(int_names[i]))
            ints[i] = quint32(file.value(int_names[i], 0).toString().toInt());
        else if (i < int_boost_step || i > int_gpi2_state)
            warnings.append(
                QString("Parameter %1 does not exist in settings file, keeping the current setting.").arg(int_names[i]));
    }
    file.endArray();
}

void rv8_vars::trims_from_file(QSettings& file, QList<QString>& warnings)
{
    const int count = qMin(file.beginReadArray("trims"), int(trim_last));
    for (int i = 0; i < count; ++i) {
        file.setArrayIndex(i);
        const QString pol_key = trim_names[i] + "/pol";
        if (file.contains(pol_key)) {
            trims[i].pol = file.value(pol_key, true).toBool();
            trims[i].value = quint16(file.value(trim_names[i] + "/value", 0).toUInt());
        } else {
            warnings.append(
                QString("ADC trim %1 does not exist in settings file, keeping the current setting.").arg(trim_names[i]));
        }
    }
    file.endArray();
}
