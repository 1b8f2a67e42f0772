#pragma once
// The program's copy of every setting of one unit, with the entries changed since they were last
// sent. Lives on the worker thread only; it has no lock.

#include "model/ids.h"
#include "model/rv8_link.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

class QSettings;

class rv8_vars {
public:
    explicit rv8_vars(rv8_link* link);

    void set(QByteArray data, table_index i);
    void set(quint32 value, int_index i);
    void set(adc_trim trim, adc_trim_index i);
    void get(QList<QByteArray>& tables_out, QList<unsigned int>& ints_out, QList<adc_trim>& trims_out) const;
    void remove_all_sets();

    // Reads everything the unit holds; the first failing status, or FT_OK.
    FT_STATUS rv8_to_vars();
    // Sends the pending groups in write_group order. A group the unit acknowledges leaves the
    // pending sets; one it does not stays. After a time-out or a lost link nothing more is tried,
    // since a silent unit would cost a time-out per group. Returns the first failing status, or FT_OK.
    FT_STATUS vars_to_rv8();
    // The last vars_to_rv8's groups in send order: acknowledged, and not (failed or never tried).
    const QList<int>& last_written() const { return written_groups; }
    const QList<int>& last_not_written() const { return unwritten_groups; }
    // Reads back the given groups (those a write sent) and compares each with what was sent,
    // message payload for payload; the model itself is left as it is. A group the unit holds
    // otherwise goes to *differing, one that could not be read to *unread; after a time-out or a
    // lost link nothing more is read. Returns the first failing read's status, or FT_OK.
    FT_STATUS check_written(const QList<int>& groups, QList<int>* differing, QList<int>* unread);

    // Writes the pending entries as the file's whole content; the pending sets stay as they are.
    // The file is replaced only once the new one is complete; on failure *reason says why.
    bool vars_to_file(QString path, QString* reason = nullptr);
    // Loads every entry the file holds; appends one text per missing entry to warnings.
    bool file_to_vars(QString path, QList<QString>& warnings);

    bool is_initialized() const { return initialized; }
    const QSet<table_index>& pending_tables() const { return tables_set; }
    const QSet<int_index>& pending_ints() const { return ints_set; }
    const QSet<adc_trim_index>& pending_trims() const { return trims_set; }

private:
    FT_STATUS read_step(QByteArray msg, QByteArray& reply, int length);
    FT_STATUS read_io_modes(QByteArray& reply);
    FT_STATUS read_map_cal(QByteArray& reply);
    FT_STATUS read_table(table_index i, QByteArray& reply);
    void drop_unsendable();
    bool group_pending(int g) const;
    bool group_complete(int g);
    void settle_group(int g);
    FT_STATUS write_one(int g, QByteArray& payload);
    FT_STATUS send_group(int g, QByteArray& payload);
    rv8_msg_type payload_of(int g, QByteArray& payload) const;
    FT_STATUS read_group(int g);
    QByteArray settings_text(QString* why) const;
    bool draft_complete(const QByteArray& text, const QString& copy) const;
    void tables_from_file(QSettings& file, QList<QString>& warnings);
    void ints_from_file(QSettings& file, QList<QString>& warnings);
    void trims_from_file(QSettings& file, QList<QString>& warnings);

    QList<QByteArray> tables;
    QList<unsigned int> ints;
    QList<adc_trim> trims;
    rv8_link* worker;
    bool initialized = false;
    QSet<table_index> tables_set;
    QSet<int_index> ints_set;
    QSet<adc_trim_index> trims_set;
    QList<int> written_groups;
    QList<int> unwritten_groups;
};
