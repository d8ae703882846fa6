#pragma once
// A sound player. Nothing is heard: every sound played is recorded, in order, for the
// process.
#include <string>
#include <vector>

class AVAudioPlayer {
 public:
  // A player of the sound file at `path` (the file is not read).
  explicit AVAudioPlayer(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }
  bool prepareToPlay() { return true; }
  void play();

  // The file names of the sounds played, in order.
  static std::vector<std::string> playedSounds();
  static void clearPlayedSounds();

 private:
  std::string path_;
};
