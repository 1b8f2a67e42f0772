# Parsing Qt's headers is most of every compile: each library parses them once, into a precompiled
# header, and the tests share one.
set(brennix_pch_core <QByteArray> <QDateTime> <QFile> <QHash> <QList> <QObject> <QSet> <QString>
    <QStringList> <QTimer> <QVector> <QtDebug> <algorithm> <functional> <memory> <vector>)
set(brennix_pch_widgets ${brennix_pch_core} <QAction> <QApplication> <QComboBox> <QDoubleSpinBox> <QLabel>
    <QLineEdit> <QPushButton> <QSpinBox> <QTableWidget> <QWidget>)
function(brennix_pch target kind)
  if(BRENNIX_PCH)
    target_precompile_headers(${target} PRIVATE ${brennix_pch_${kind}})
  endif()
endfunction()
