#pragma once
// The command line's way to a unit: finds it among the named ports, the machine's USB ports and
// the virtual unit, opens it through the worker and waits for each answer.

#include "model/unit_settings.h"
#include "device/d2xx/unit_sources.h"
#include "device/rv8.h"

#include <QMap>
#include <QObject>
#include <memory>

struct cli_options;
class unit_filter;

class unit_session : public QObject {
    Q_OBJECT
public:
    struct found {
        QString description;
        QString serial;
        QString port;
        bool unit() const { return description == QLatin1String("KIRRA 3"); }
    };

    explicit unit_session(const cli_options& options);
    ~unit_session() override;

    QList<found> devices();
    // Opens the one unit the options point at; throws cli_failure (no unit, several, link error).
    void open();
    rv8_worker* worker() const { return controller->worker; }
    const QString& serial() const { return serial_number; }
    quint16 fw_version() const { return version; }
    rv8_variant variant() const { return unit_variant; }

    // Everything the unit holds; throws cli_failure (exit_link) when the read fails.
    unit_settings read();
    // What read() gives, completed as `read` saves it: the file a restore point is.
    unit_settings snapshot();
    struct write_result {
        FT_STATUS status = FT_OTHER_ERROR;
        QList<int> written;     // write_groups the unit took, in send order
        QList<int> not_written; // failed, or not tried after the link failed
        QList<int> differing;   // acknowledged, but read back otherwise than sent
        QList<int> unread;      // acknowledged, but could not be read back
    };
    // Sends the given write_groups with the values of settings; each acknowledged group is read back.
    write_result write(const unit_settings& settings, const QList<int>& groups);
    // The unit's settings from before a write as its restore point; throws cli_failure when none
    // can be saved, since a write never goes ahead without it.
    QString save_restore_point(const unit_settings& before);
    // Throws cli_failure (exit_differs) when the read-back found groups the unit does not hold as sent.
    void check_read_back(const write_result& r, const QString& point) const;
    // "; read back otherwise: MAIN duty table; not read back: IO modes", or "".
    static QString read_back_text(const write_result& r);
    // Returns once the worker has run everything asked of it so far and its answers are delivered.
    void settle();
    // The virtual unit of --virtual-unit, for a test to make it fail; null without one.
    std::shared_ptr<virtual_device> hosted_unit() const { return virtual_unit; }
    // What the link reported since mark, as the end of an error line.
    static QString reported_since(int mark);

private:
    struct held {
        d2xx_provider* provider;
        d2xx_device_info info;
    };
    QVector<d2xx_provider*> providers() { return {&sources.serial(), &sources.virtuals()}; }
    QList<held> units();

    unit_sources sources;
    std::shared_ptr<virtual_device> virtual_unit;
    QString virtual_store;
    std::unique_ptr<unit_filter> filter;
    QMap<QString, QString> named_ports; // serial -> path
    std::unique_ptr<rv8_controller> controller;
    QString wanted_serial;
    QString serial_number;
    quint16 version = 0;
    rv8_variant unit_variant = variant_rv8_s;
};
