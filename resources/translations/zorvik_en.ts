<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>zorvik</name>
    <message>
        <source>ミルカ</source>
        <translation>ZORVIK</translation>
    </message>
    <message>
        <source>青カメラ - アクティブウィンドをキャプチャします</source>
        <translation>Blue camera - captures the active window</translation>
    </message>
    <message>
        <source>赤カメラ - デスクトップ全体をキャプチャします</source>
        <translation>Red camera - captures the whole desktop</translation>
    </message>
    <message>
        <source>クリップボードから画像を取り込みます</source>
        <translation>Takes in the picture on the clipboard</translation>
    </message>
    <message>
        <source>画像を縮小表示します</source>
        <translation>Zooms the picture out</translation>
    </message>
    <message>
        <source>画像を拡大表示します</source>
        <translation>Zooms the picture in</translation>
    </message>
    <message>
        <source>手アイコンに切り替えます</source>
        <translation>Switches to the hand pointer</translation>
    </message>
    <message>
        <source>┼アイコンに切り替えます</source>
        <translation>Switches to the cross pointer</translation>
    </message>
    <message>
        <source>QRコードをデコードします</source>
        <translation>Decodes the QR code</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>選択範囲を保存</source>
        <translation>Save selection</translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>編集(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>赤カメラ - アクティブウィンドキャプチャ</source>
        <translation>Capture the active window</translation>
    </message>
    <message>
        <source>青カメラ - デスクトップ全体キャプチャ</source>
        <translation>Capture the whole desktop</translation>
    </message>
    <message>
        <source>クリップボードから画像を貼り付け</source>
        <translation>Paste the picture from the clipboard</translation>
    </message>
    <message>
        <source>表示縮小</source>
        <translation>Zoom out</translation>
    </message>
    <message>
        <source>表示拡大</source>
        <translation>Zoom in</translation>
    </message>
    <message>
        <source>画像ファイルを開く</source>
        <translation>Open picture file</translation>
    </message>
    <message>
        <source>設定(&amp;O)</source>
        <translation>&amp;Options</translation>
    </message>
    <message>
        <source>オプション設定</source>
        <translation>Options...</translation>
    </message>
    <message>
        <source>画像全体からQRコードを探す</source>
        <translation>Find the QR codes in the whole picture</translation>
    </message>
    <message>
        <source>QRコードが1つならすぐデコードする</source>
        <translation>Decode at once when there is one QR code</translation>
    </message>
    <message>
        <source>デコードしたテキストをクリップボードにコピー</source>
        <translation>Copy the decoded text to the clipboard</translation>
    </message>
    <message>
        <source>ヘルプ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>ミルカ ヘルプ</source>
        <translation>ZORVIK Help</translation>
    </message>
    <message>
        <source>バージョン情報</source>
        <translation>About ZORVIK</translation>
    </message>
    <message>
        <source>右クリックメニュー</source>
        <translation>Right-click menu</translation>
    </message>
    <message>
        <source>デコード</source>
        <translation>Decode</translation>
    </message>
    <message>
        <source>ビットマップ (*.bmp)</source>
        <translation>Bitmap (*.bmp)</translation>
    </message>
    <message>
        <source>ビットマップ保存</source>
        <translation>Save bitmap</translation>
    </message>
    <message>
        <source>画像ファイル</source>
        <translation>Pictures</translation>
    </message>
    <message>
        <source>すべてのファイル</source>
        <translation>All files</translation>
    </message>
    <message>
        <source>等倍</source>
        <translation>1×</translation>
    </message>
    <message>
        <source>2倍</source>
        <translation>2×</translation>
    </message>
    <message>
        <source>3倍</source>
        <translation>3×</translation>
    </message>
    <message>
        <source>一時ファイルを安全に置けるフォルダを用意できませんでした。このままではデコードできません。
XDG_RUNTIME_DIR または TMPDIR に、自分だけが書き込めるフォルダを指定してください。</source>
        <translation>No folder could be had where temporary files are safe, so nothing can be decoded.
Set XDG_RUNTIME_DIR or TMPDIR to a folder that only you can write to.</translation>
    </message>
    <message>
        <source>クリップボードの画像を取り込めませんでした。表示中の画像はそのままです。
（%1）</source>
        <translation>The picture on the clipboard could not be taken in. The picture on view stays.
(%1)</translation>
    </message>
    <message>
        <source>画像が小さすぎます。縦横とも6ピクセル以上の画像を開いてください。</source>
        <translation>The picture is too small. Open a picture of at least 6 pixels each way.</translation>
    </message>
    <message>
        <source>ドロップされた画像を読み取れませんでした。</source>
        <translation>The dropped picture could not be read.</translation>
    </message>
    <message>
        <source>設定を zorvik.conf に保存できませんでした。この設定は終了するまで有効です。</source>
        <translation>The setting could not be saved in zorvik.conf. It holds until the program ends.</translation>
    </message>
    <message>
        <source>画像ファイルを開けませんでした。
%1
（%2）</source>
        <translation>The picture file could not be opened.
%1
(%2)</translation>
    </message>
    <message>
        <source>カメラや貼り付けを使って画像を取り込みます</source>
        <translation>Bring a picture in with a camera or a paste</translation>
    </message>
    <message>
        <source>ＱＲコード部分を選択してください</source>
        <translation>Select the QR code</translation>
    </message>
    <message>
        <source>右クリックからデコードを実行</source>
        <translation>Right-click to decode</translation>
    </message>
    <message>
        <source>ダブルクリックすると手カーソルに切り替わります</source>
        <translation>Double-click to switch to the hand pointer</translation>
    </message>
    <message>
        <source>ダブルクリックすると┼カーソルに切り替わります</source>
        <translation>Double-click to switch to the cross pointer</translation>
    </message>
    <message>
        <source>アクティブウィンドウが分からないため、デスクトップ全体をキャプチャしました</source>
        <translation>The active window is unknown, so the whole desktop was captured</translation>
    </message>
    <message>
        <source>この環境では画面をキャプチャできません</source>
        <translation>The screen cannot be captured in this session</translation>
    </message>
    <message>
        <source>画面のキャプチャが拒否されました</source>
        <translation>The screen capture was denied</translation>
    </message>
    <message>
        <source>画面のキャプチャが取り消されたか失敗しました（許可の設定を確認してください）</source>
        <translation>The screen capture was cancelled or failed (check the permission settings)</translation>
    </message>
    <message>
        <source>画面のキャプチャに応答がありませんでした（もう一度お試しください）</source>
        <translation>The screen capture got no answer (please try again)</translation>
    </message>
    <message>
        <source>ＱＲコード  デコード中．．．</source>
        <translation>QR code - decoding...</translation>
    </message>
    <message>
        <source>ＱＲコード  デコード結果</source>
        <translation>QR code - decode result</translation>
    </message>
    <message>
        <source>QRコード読み取り情報</source>
        <translation>Symbol information</translation>
    </message>
    <message>
        <source>バージョン</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>誤り訂正レベル</source>
        <translation>EC level</translation>
    </message>
    <message>
        <source>誤り発生率</source>
        <translation>Error rate</translation>
    </message>
    <message>
        <source>マスク番号</source>
        <translation>Mask</translation>
    </message>
    <message>
        <source>連接番号</source>
        <translation>Part</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀｺｰﾄﾞ語数</source>
        <translation>Codewords</translation>
    </message>
    <message>
        <source>語</source>
        <translation>cw</translation>
    </message>
    <message>
        <source>デコード時間</source>
        <translation>Decode time</translation>
    </message>
    <message>
        <source>秒</source>
        <translation>s</translation>
    </message>
    <message>
        <source>QR Code Decoder ミルカ Ver1.2</source>
        <translation>QR Code Decoder ZORVIK Ver1.2</translation>
    </message>
    <message>
        <source>（最大訂正率 約7%）</source>
        <translation>(fixes up to 7%)</translation>
    </message>
    <message>
        <source>（最大訂正率 約15%）</source>
        <translation>(fixes up to 15%)</translation>
    </message>
    <message>
        <source>（最大訂正率 約25%）</source>
        <translation>(fixes up to 25%)</translation>
    </message>
    <message>
        <source>（最大訂正率 約30%）</source>
        <translation>(fixes up to 30%)</translation>
    </message>
    <message>
        <source>（圧縮率 %1%）</source>
        <translation>(ratio %1%)</translation>
    </message>
    <message>
        <source>イメージファイルの作成ができませんでした</source>
        <translation>The picture file could not be made</translation>
    </message>
    <message>
        <source>イメージファイルの取得が失敗しました</source>
        <translation>The picture file could not be read back</translation>
    </message>
    <message>
        <source>イメージファイルの形式が正しくありません</source>
        <translation>The picture file's format is not right</translation>
    </message>
    <message>
        <source>ＱＲコードが認識できませんでした</source>
        <translation>No QR code could be recognised</translation>
    </message>
    <message>
        <source>ＱＲコードが認識できませんでした(?)</source>
        <translation>No QR code could be recognised (?)</translation>
    </message>
    <message>
        <source>形式情報が正しく読み取れません</source>
        <translation>The format information cannot be read</translation>
    </message>
    <message>
        <source>型番情報が正しく読み取れません</source>
        <translation>The version information cannot be read</translation>
    </message>
    <message>
        <source>誤り多発で読み取りできません</source>
        <translation>Too many errors to read the symbol</translation>
    </message>
    <message>
        <source>テキスト情報が読み出せませんでした</source>
        <translation>No text could be read from the symbol</translation>
    </message>
    <message>
        <source>大変申し訳ございません。&#13;デコードできませんでした。</source>
        <translation>We are very sorry.&#13;The symbol could not be decoded.</translation>
    </message>
    <message>
        <source>ミルカ　オプション設定</source>
        <translation>ZORVIK Options</translation>
    </message>
    <message>
        <source>デコード結果を html 化してブラウザで表示する</source>
        <translation>Show the decoded text as an HTML page, its links opening in the browser</translation>
    </message>
    <message>
        <source>QRコード範囲確定およびクリップボード取込時に即時デコードする</source>
        <translation>Decode at once when a box is drawn or a picture is pasted</translation>
    </message>
    <message>
        <source>シャッター音の再生</source>
        <translation>Play the shutter sound</translation>
    </message>
    <message>
        <source>読取データのセグメント情報をテキストファイルに出力する</source>
        <translation>Write the segment information of the data read to a text file</translation>
    </message>
    <message>
        <source>バックカラー</source>
        <translation>Background</translation>
    </message>
    <message>
        <source>テキストカラー</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>リンクカラー</source>
        <translation>Links</translation>
    </message>
    <message>
        <source>フォントサイズ</source>
        <translation>Font size</translation>
    </message>
    <message>
        <source>出力先</source>
        <translation>File</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>適用</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>セグメント情報出力先を設定してください</source>
        <translation>Choose the file for the segment information</translation>
    </message>
    <message>
        <source>セグメント情報出力先</source>
        <translation>Segment information file</translation>
    </message>
    <message>
        <source>テキストファイル (*.txt)</source>
        <translation>Text files (*.txt)</translation>
    </message>
    <message>
        <source>ミルカ バージョン情報</source>
        <translation>About ZORVIK</translation>
    </message>
    <message>
        <source>QR Code Decoder ミルカ Version 1.2</source>
        <translation>QR Code Decoder ZORVIK Version 1.2</translation>
    </message>
    <message>
        <source>← 戻る</source>
        <translation>← Back</translation>
    </message>
    <message>
        <source>進む →</source>
        <translation>Forward →</translation>
    </message>
    <message>
        <source>目次</source>
        <translation>Contents</translation>
    </message>
</context>
</TS>
