#pragma once
// Times of day for tests that go through the service's schedule. The service
// keeps only the time of day of a StartTime and gives it the next date on which
// that time is still ahead (today, or tomorrow once it has passed). A test that
// writes a start time and reads it back must expect that date, computed from the
// moment it runs: a literal date holds on one day only.

namespace MW::Test {

struct LocalDate {
    int year = 0;
    int month = 0; // 1 to 12
    int day = 0;   // 1 to 31
};

struct DueTime {
    LocalDate date;  // the date the schedule gives the time of day
    int hour = 0;
    int minute = 0;
    double oleDate = 0; // date and time as an OLE date (local wall time)
};

// The OLE date (days since 30 December 1899, local wall time) of a calendar day.
double oleDay(const LocalDate& date);

// The next due moment of `hour`:`minute` by the schedule's rule: today when that
// time of day is still ahead of the local clock, tomorrow otherwise. Call it with
// a time of day well away from now (see dueTimeAhead), so that the answer
// cannot change between the test's computation and the service's.
DueTime dueAt(int hour, int minute);

// A time of day between `hoursAhead` hours and a quarter of an hour less from
// now (on a whole quarter hour, past midnight wrapping round), with the date
// the schedule gives it. `hoursAhead` is between 1 and 23.
DueTime dueTimeAhead(int hoursAhead);

} // namespace MW::Test
