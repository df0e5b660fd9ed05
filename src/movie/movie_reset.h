#pragma once
// The state of the movie side, brought back at once.

// Back to the state of a new process: the layer movie stopped, the movie
// windows and the Flash player closed, the E-mote players and runtime
// released.
void ResetMovieState();
