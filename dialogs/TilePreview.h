// The tile preview: one tile's picture file at a fitted size with the tile's
// crop rectangle framed on it; the stored thumbnail when the file is gone.
#pragma once
#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "controls/CropImage.h"
#include "platform/Types.h"

class TVTData;

class TTilePrev : public QDialog {
  Q_OBJECT
 public:
  explicit TTilePrev(QWidget* parent = nullptr);

  QWidget* Panel1;
  QWidget* Panel2;
  TCropImage* Image1;
  QLabel* Label1;
  QPushButton* BitBtn1;

  // The tile's crop rectangle in picture pixels.
  TRect FTileRect;

  // Places the picture at its fitted size (never enlarged) and the frame on
  // the tile's rectangle; nothing for a picture without area.
  void FitToCenter();
  // Fills the window from the table's current record (steps the callers
  // share): the picture file when it exists, else the stored thumbnail.
  void LoadFromRecord(const TVTData& table);

 protected:
  void resizeEvent(QResizeEvent* event) override;
};

// One "Show file" click: a new preview of the table's current record with
// its bounds kept in [LayOut] TilePreview, shown modally or, for the library
// inspector, beside it. Returns the window, which lives on with its parent.
TTilePrev* ShowTilePreview(const TVTData& table, QWidget* parent, bool modal = true);
