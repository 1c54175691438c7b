#pragma once
// The scheduled task of unattended passes as the Task Scheduler's XML
// definition (schema 1.2): the program run as SYSTEM with the configuration
// file and /unattended, daily at a local time with a random delay, and after
// each logon of any user, started when a run was missed, stopped after an
// hour. Pure, built natively as well.

#include <string>

struct TaskPlan {
    std::wstring program;    // full path of TavUpdate.exe
    std::wstring configPath; // full path of its configuration file
    // The day the schedule begins, local (the day it is registered).
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 3;
    int minute = 0;
    int delayHours = 4;    // the daily pass's random delay; 0: none
    int logonDelayMinutes; // after a logon; logon triggers have no random delay of their own
};

std::wstring TaskXml(const TaskPlan& plan);
