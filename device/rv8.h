#pragma once
// The worker that owns everything touching the unit, and the controller that gives it a thread.

#include "device/d2xx/ftd2xx.h"
#include "live/log_marker.h"
#include "live/pre_trigger.h"
#include "live/rv8_frame.h"
#include "live/rv8_log.h"
#include "live/tsafe_qvector.h"
#include "model/ids.h"
#include "model/rv8_link.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QString>
#include <QThread>

#include <atomic>
#include <string_view>

class QTimer;
class log_line_reader;
class rv8_vars;

class rv8_worker : public QObject, public rv8_link {
    Q_OBJECT

public:
    rv8_worker();
    ~rv8_worker() override;

    FT_STATUS get_param(QByteArray& msg, QByteArray& ret, unsigned long exp_len) override;
    FT_STATUS set_param(rv8_msg_type type, QByteArray& payload) override;

    FT_STATUS silent_close();
    FT_STATUS reset_into_bootloader();
    FT_STATUS ft_write_wrap(FT_HANDLE h, LPVOID buffer, DWORD length, LPDWORD written);
    FT_STATUS ft_read_wrap(FT_HANDLE h, LPVOID buffer, DWORD length, LPDWORD read);
    FT_STATUS wait_then_read(QByteArray& data, unsigned long exp_bytes);
    FT_STATUS program_fw(QString fw_location);
    FT_STATUS write_fw_line(QByteArray line);

    bool is_open() const override { return !serial_number.isEmpty(); }
    QString get_serial_number() const { return serial_number; }
    quint16 get_fw_version() const { return fw_version; }
    rv8_variant get_variant() const { return variant; }
    bool is_logging() const;

    // What the live chart reads while the worker appends; each vector carries its own lock.
    const tsafe_qvector<qint64>& get_timestamps() const { return log.const_timestamps(); }
    const tsafe_qvector<unsigned int>& get_data(rv8_log::e_data e) const { return log.const_data(e); }
    const tsafe_qvector<unsigned int>& get_file_marks() const { return file_marks; }
    const rv8_log& get_log() const { return log; }
    // Rows in the recording's file so far, those kept from before its start included.
    qint64 rows_in_file() const { return file_rows.load(); }

signals:
    void opened(QString serial_number, quint16 fw_version, rv8_variant variant);
    void closed();
    // The write_group values of the last write in send order, just before its wrote_data:
    // acknowledged, and not (failed, or left untried after a time-out or a lost link).
    void write_outcome(QList<int> written, QList<int> not_written);
    // Then what reading the acknowledged groups back found: groups the unit holds otherwise than
    // sent, and groups that could not be read back. Both empty when all hold what was sent.
    void write_checked(QList<int> differing, QList<int> unread);
    void wrote_data(FT_STATUS status);
    // Before a write with restore points on: the point that holds the unit's settings from before
    // (saved now, or the newest when it already held them). On failure path is empty, error says
    // why and the write sends nothing.
    void restore_point(QString path, QString error);
    // Everything the unit holds, read without touching the settings model (read_snapshot).
    void snapshot_read(FT_STATUS status, QList<QByteArray> tables, QList<quint32> ints);
    // The unit's answer to set_override (duty as sent) or reset_override (duty -1).
    void override_done(table_index output, int duty, FT_STATUS status);
    void read_data(FT_STATUS status, QList<QByteArray> tables, QList<quint32> ints, QList<adc_trim> trims);
    // A failed open carries the reason as its one warning.
    void read_file(FT_STATUS status, QList<QByteArray> tables, QList<quint32> ints, QList<adc_trim> trims,
                   QList<QString> warnings);
    // Just before a successful read_file: whose settings they are, and whether the file is a recorded log.
    void settings_loaded(QString filename, bool recorded_log);
    void fw_programmed(FT_STATUS status, quint16 fw_version, rv8_variant variant);
    void fw_progress(int progress);
    void reset_progress(int progress);
    void log_started();
    void log_stopped();
    void log_data_ready(rv8_frame data);
    void recall_data_ready(rv8_frame data);
    void parsed_log_file();
    void map_cal_data_ready(QList<quint16> samples);
    // File logging could not start, or a write failed and file logging stopped; live logging goes on.
    void log_file_failed(QString filename, QString reason);
    // A recording's file holds its last row and is closed.
    void log_file_closed(QString filename);
    // A recording's file is open with its heads and the rows of the records kept from before its
    // start (earlier_rows of them).
    void log_file_started(QString filename, int earlier_rows);
    // A marker was placed; in_file: written into the recording (else only kept for one that starts
    // while its record is still among those kept from before).
    void marker_added(log_marker marker, bool in_file);
    // The markers of the log just parsed, just before parsed_log_file.
    void markers_read(QList<log_marker> markers);
    // The outcome of vars_to_file; reason is empty on success.
    void wrote_file(QString filename, bool success, QString reason);
    // A transaction paused live logging (true) and that pause is over (false), whether or not
    // logging was restarted; the log_stopped and log_started in between belong to the pause.
    void log_paused(bool paused);

public slots:
    void open();
    void close();
    void reset();
    void smart_reconnect(quint32 event);
    void start_read();
    void add_field_to_var(QByteArray f_table, table_index i);
    void add_field_to_var(quint32 f_int, int_index i);
    void add_field_to_var(adc_trim f_trim, adc_trim_index i);
    void remove_all_sets();
    void vars_to_file(QString filename);
    void file_to_vars_to_field(QString filename);
    void start_write();
    void start_fw_program(QString fw_location);
    void set_log_file(QString filename);
    void enable_log_to_file(bool enable);
    // Records of the last seconds (0 to 60) kept while no file is written, to begin the next one with.
    void set_pre_trigger(double seconds);
    // enable_log_to_file(true) for a start decided on the record stamped start: the file begins with
    // the kept records of the seconds before that record, however far the worker has gone since.
    void start_log_at(qint64 start);
    // A marker at the record stamped so, or at the newest record when stamp is negative.
    void add_log_marker(qint64 stamp, QString note);
    void start_live_logging();
    void stop_live_logging(bool immediately);
    void stop_live_logging();
    void clear_live_logs();
    void parse_log_file(QString filename);
    void recall_frame_at(QPointF point);
    void set_rw_debug(bool enable);
    void start_map_cal();
    void set_override(table_index output, uint duty);
    void reset_override(table_index output);
    void read_snapshot();
    // Writes save a restore point first (the window's); brennix-cli saves its own.
    void set_restore_points(bool enabled);
    // Writes read back what the unit acknowledged (on by default).
    void set_read_back(bool enabled);

private slots:
    void check_log_data();
    void check_log_data_for_period(uint loop_for_ms);

private:
    // Queues the call into the worker's thread when made from another one; true if it did.
    template <typename F>
    bool in_other_thread(F&& call)
    {
        if (QThread::currentThread() == thread())
            return false;
        QMetaObject::invokeMethod(this, std::forward<F>(call), Qt::QueuedConnection);
        return true;
    }

    FT_STATUS query_identity();
    FT_STATUS identify();
    void record_variant();
    void announce_unit();
    bool find_unit();
    FT_STATUS send_live_off();
    void drain_after_live_off();
    bool wait_for_tx_empty();
    bool drain_until_quiet(qint64& drained);
    FT_STATUS purge_or_close();

    bool pause_logging();
    void resume_logging(bool was_logging);
    // A pause that ends without a restart: the exchange failed and logging stays off.
    void end_pause(bool was_logging);

    bool poll_queue(DWORD& queued);
    bool wait_for_record(DWORD& queued, uint loop_for_ms);
    void accept_record(const QByteArray& record);

    bool write_log_heads();
    bool write_log_row(const rv8_frame& frame);
    bool write_earlier_records(int* written);
    QByteArray header_if_pending();
    bool write_to_log_file(const QByteArray& text);
    void log_file_failure(const QString& reason);
    void close_log_file();
    bool copy_settings_section(log_line_reader& lines, std::string_view first_line, const QString& filename);
    void load_log_settings(const QString& filename);
    void load_settings(const QString& path, const QString& filename, bool recorded_log);

    FT_STATUS read_unit(QList<QByteArray>* tables, QList<quint32>* ints);
    bool save_restore_point(QString* path);

    FT_STATUS send_fw_lines(const QByteArray& image);
    FT_STATUS finish_fw();

    bool rw_debug = false;
    FT_HANDLE handle = nullptr;
    QString serial_number;
    quint16 fw_version = 0;
    rv8_variant variant = variant_rv8_s;
    rv8_vars* vars;
    QTimer* log_timer;
    rv8_log log;
    QFile log_file;
    bool log_to_file = false;
    bool header_pending = true;
    tsafe_qvector<unsigned int> file_marks;
    pre_trigger earlier_records;
    // Markers placed while no file was written, for a recording that starts with their records.
    QList<log_marker> waiting_markers;
    qint64 newest_stamp = -1;
    qint64 start_stamp = -1; // the record a start was decided on, while its file is opened
    std::atomic<qint64> file_rows{0};
    bool restore_points_on = false;
    bool read_back_on = true;
};

class rv8_controller : public QObject {
    Q_OBJECT

public:
    rv8_controller();
    ~rv8_controller() override;

    rv8_worker* worker;

private:
    QThread thread;
};
