#pragma once
// Standard output for results, standard error for errors and for progress, which is drawn only
// when standard error is a terminal.

#include <QString>
#include <QStringList>

namespace console {

void out(const QString& line);
void err(const QString& line);
bool progress_wanted();
// Redraws one progress line in place: "flash  [########......]  54%".
void progress(const QString& label, int percent);
void status(const QString& text);
void end_progress();

// The program's own diagnostics: dropped, or printed with --verbose; warnings and criticals are
// kept so that an error line can say what the link reported.
void install_message_handler(bool verbose);
int problem_mark();
QStringList problems_since(int mark);

} // namespace console
