#pragma once
// The chart's curves as the window shows them from start-up.

class log_graph;
class rv8_log;
template <class T>
class tsafe_qvector;

// Adds the file band and the thirteen value curves, in legend order, with only MAP, RPM and the
// AUX and Main duties shown.
void add_live_curves(log_graph& graph, const rv8_log& log, const tsafe_qvector<unsigned int>& file_marks);

// A digital input's 0/1 drawn at the percent axis' full scale.
double state_to_full_scale(double state);
// The logged-to-file flag lifted above the left axis' top so the band fills the whole height.
double mark_to_band(double mark);
