#include "board/board.h"

// Filled by BuildPieceSquareValues while the parameter file is loaded.
ScorePair PieceSquareValue[2][8][64];
