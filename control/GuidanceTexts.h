// The texts of the main window's guidance line. The result window sets the
// two mode hints when it closes, so they live beside it.
#pragma once

namespace zorvik {

inline constexpr const char* kGuidanceCapture = "カメラや貼り付けを使って画像を取り込みます";
inline constexpr const char* kGuidanceSelect = "ＱＲコード部分を選択してください";
inline constexpr const char* kGuidanceRightClick = "右クリックからデコードを実行";
inline constexpr const char* kGuidanceToHand = "ダブルクリックすると手カーソルに切り替わります";
inline constexpr const char* kGuidanceToBox = "ダブルクリックすると┼カーソルに切り替わります";

} // namespace zorvik
