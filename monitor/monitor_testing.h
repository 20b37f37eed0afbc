/* cv_mon in steps, for tests: MonitorMain is MonitorStart, MonitorBeginLoop,
   MonitorTurn with a sleep until it returns FALSE, and MonitorEnd. */
#ifndef CVLAN_MONITOR_TESTING_H
#define CVLAN_MONITOR_TESTING_H

#include "monitor.h"

int MonitorStart(int argc, char **argv); /* -1: run; otherwise the exit status */
void MonitorBeginLoop(void);
BOOL MonitorTurn(void);  /* one turn without the sleep; FALSE: a key quit */
int MonitorEnd(void);    /* the exit status */
void MonitorReset(void); /* every static to its start value */

#endif
