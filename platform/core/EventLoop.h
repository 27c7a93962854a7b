#pragma once

// Lets pending window messages run once, so the window repaints and stays responsive in the
// middle of a long operation. Does nothing before the application object exists.
void DoEvents();

// How many times DoEvents has run in this process (for tests of long operations).
long long DoEventsTurns();
