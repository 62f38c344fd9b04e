// A rectangle of grid cells, as a build, an erase run or an output covers it.
#pragma once

// Columns Left..Right and rows Top..Bottom, inclusive, 0-based.
struct TCellArea {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Cols() const { return Right - Left + 1; }
  int Rows() const { return Bottom - Top + 1; }
  bool SingleCell() const { return Left == Right && Top == Bottom; }
  bool Contains(int col, int row) const { return col >= Left && col <= Right && row >= Top && row <= Bottom; }
};
