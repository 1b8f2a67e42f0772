#include "tables/script_templates.h"

#include <QStringList>

namespace {
QString lines(const QStringList& text, bool final_line_feed)
{
    return text.join(QLatin1Char('\n')) + (final_line_feed ? QStringLiteral("\n") : QString());
}
}

namespace script_templates {

QString help()
{
    return lines({
        "// Super-simple scripting based on javascript.",
        "// Script gets applied to each cell in the current selection.",
        "// Variables you can use:",
        "//    old : Current cell value",
        "//    abs_row : Current row of the cell in the table (0-15)",
        "//    abs_col : Current column of the cell in the table (0-15)",
        "//    sel_row : Current row of the cell in the selection (0-15)",
        "//    sel_col : Current column of the cell in the selection (0-15)",
        "//    sel_num_rows : Number of rows in the selection (1-16)",
        "//    sel_num_cols : Number of columns in the selection (1-16)",
        "// The new cell value will simply be the result of a statement:",
        "",
        "old + 25;",
        "",
        "// Which will add 25 to each cell in the current selection.",
        "",
        "// Available Math constants:",
        "//    Math.E",
        "//    Math.LN10",
        "//    Math.LN2",
        "//    Math.LOG2E",
        "//    Math.LOG10E",
        "//    Math.PI",
        "//    Math.SQRT1_2",
        "//    Math.SQRT2",
        "// Available Math functions:",
        "//    Math.abs(x)",
        "//    Math.acos(x)",
        "//    Math.asin(x)",
        "//    Math.atan(x)",
        "//    Math.atan2(y, x)",
        "//    Math.ceil(x)",
        "//    Math.cos(x)",
        "//    Math.exp(x)",
        "//    Math.floor(x)",
        "//    Math.log(x)",
        "//    Math.max([value1 [, value2 [, ...]]])",
        "//    Math.min([value1 [, value2 [, ...]]])",
        "//    Math.pow(x, y)",
        "//    Math.random()",
        "//    Math.round(x)",
        "//    Math.sin(x)",
        "//    Math.sqrt(x)",
        "//    Math.tan(x)",
    }, true);
}

QString add()
{
    return lines({
        "// Replace the + with a - to subtract",
        "// instead of add",
        "old + 25;",
    }, false);
}

QString multiply()
{
    return lines({
        "// Use *1.25 to 'add' 25% to the value",
        "// Or *0.85 to minus 15% from the value",
        "old * 2;",
    }, false);
}

QString divide()
{
    return lines({"old / 2;"}, false);
}

QString invert()
{
    return lines({
        "// Inverts cells, so 100 becomes 0 and so on",
        "Math.abs(old-100);",
    }, false);
}

QString h_gradient()
{
    return lines({
        "// To increase left-to-right, set left_to_right = true",
        "// To decrease left-to-right, set left_to_right = false",
        "var min = 0;",
        "var max = 100;",
        "var left_to_right = true;",
        "",
        "var run = sel_num_cols - 1;",
        "var slope = (left_to_right ? ((max-min)/run) : ((min-max)/run));",
        "var intercept = (left_to_right ? (min) : (max));",
        "// classic line eq: y = slope*x + intercept",
        "(slope * sel_col) + intercept;",
    }, true);
}

QString v_gradient()
{
    return lines({
        "// To increase bottom-to-top, set bottom_to_top = true",
        "// To decrease bottom-to-top, set bottom_to_top = false",
        "var min = 0;",
        "var max = 100;",
        "var bottom_to_top = true;",
        "",
        "var run = sel_num_rows - 1;",
        "var slope = (bottom_to_top ? ((min-max)/run) : ((max-min)/run));",
        "var intercept = (bottom_to_top ? (max) : (min));",
        "// classic line eq: y = slope*x + intercept",
        "(slope * sel_row) + intercept;",
    }, true);
}

QString hv_gradient()
{
    return lines({
        "// To increase bottom-to-top, set bottom_to_top = true",
        "// To decrease bottom-to-top, set bottom_to_top = false",
        "// To increase left-to-right, set left_to_right = true",
        "// To decrease left-to-right, set left_to_right = false",
        "var min = 0;",
        "var max = 100;",
        "var bottom_to_top = true;",
        "var left_to_right = true;",
        "",
        "var x1 = (left_to_right ? 0 : (sel_num_cols-1) )",
        "var x2 = (left_to_right ? (sel_num_cols-1) : 0)",
        "var a = x2 - x1;",
        "",
        "var y1 = (bottom_to_top ? (sel_num_rows-1) : 0)",
        "var y2 = (bottom_to_top ? 0 : (sel_num_rows-1) )",
        "var b = y2 - y1;",
        "",
        "var c1 = a*x1 + b*y1;",
        "var c2 = a*x2 + b*y2;",
        "var c = a*sel_col + b*sel_row;",
        "",
        "(min*(c2-c) + max*(c-c1)) / (c2-c1)",
    }, true);
}

}
