#pragma once
// The levels of the updater's trace and of the administrator's log alike: a
// policy's TraceLevel writes the lines up to its own.

enum { TRACE_ERROR = 1, TRACE_WARNING = 2, TRACE_INFO = 3, TRACE_DETAIL = 4 };
