#pragma once
// Points, sizes and rectangles in pixels, for code that must not see <windows.h>.

struct TPoint {
  int X = 0;
  int Y = 0;
};

struct TSize {
  int cx = 0;
  int cy = 0;
};

// Right and Bottom are exclusive, as in Win32 rectangles.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool Contains(int X, int Y) const { return X >= Left && X < Right && Y >= Top && Y < Bottom; }
};

inline bool operator==(const TRect& A, const TRect& B) {
  return A.Left == B.Left && A.Top == B.Top && A.Right == B.Right && A.Bottom == B.Bottom;
}
inline bool operator!=(const TRect& A, const TRect& B) {
  return !(A == B);
}
