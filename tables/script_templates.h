#pragma once
// Ready-made cell scripts offered by the scripts dialog.

#include <QString>

namespace script_templates {
QString help();
QString add();
QString multiply();
QString divide();
QString invert();
QString h_gradient();
QString v_gradient();
QString hv_gradient();
}
