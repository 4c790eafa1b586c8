#pragma once
// The text scanners (the CSV reader's record scan, the CSV normaliser) read sixteen bytes at a
// time where the machine allows it. The tests turn that off to run the same texts through the
// plain byte-by-byte paths and compare the two; the programs never do.

// Whether a scanner made from now on may read blocks. On at start.
bool BlockScanEnabled();
void EnableBlockScan(bool On);

// Sets the switch for one scope and puts back what was there before.
class TBlockScanSetting {
public:
  explicit TBlockScanSetting(bool On) : FBefore(BlockScanEnabled()) { EnableBlockScan(On); }
  ~TBlockScanSetting() { EnableBlockScan(FBefore); }
  TBlockScanSetting(const TBlockScanSetting&) = delete;
  TBlockScanSetting& operator=(const TBlockScanSetting&) = delete;

private:
  bool FBefore;
};
