#pragma once
// One row of a camera's current image copied to the host, thinned horizontally with decimation.
// The host's reading thread; the buffer sets lock what they share with the wait thread.

class Camera;

// Columns are pixel indices of the row as the host receives it, both inclusive (firstColumn <=
// lastColumn, both >= 0, checked by the caller). False when no row is available (logged).
bool DeliverRow(Camera& camera, void* destination, int row, int firstColumn, int lastColumn);
