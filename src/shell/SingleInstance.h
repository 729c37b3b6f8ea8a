#pragma once

// One setup at a time: two would write the same folder at once. True when no other setup runs;
// this process then holds the setup's named mutex until it ends. Otherwise the other setup's
// window is brought to the front (or, when none shows, the user is told that a setup runs) and
// this one is to end without a window of its own.
bool BecomeTheOnlySetup();
