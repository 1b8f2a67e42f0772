// Custom analog conversion files: any text either loads as 1024 finite values or is refused with
// one message; nothing in between.
#include "app/custom_csv.h"

#include <QByteArray>
#include <QtGlobal>

#include <cmath>
#include <cstdlib>

static void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool installed = (qInstallMessageHandler(quiet), true);
    (void)installed;
    QString name;
    QVector<double> values;
    if (parse_cust_an_text(QByteArray(reinterpret_cast<const char*>(data), int(size)), name, values)) {
        if (values.size() != 1024)
            std::abort();
        for (double v : values)
            if (!std::isfinite(v))
                std::abort();
    }
    return 0;
}
