#!/usr/bin/env python3
"""Writes src/shell/Form1.ui, the window's control inventory, from the table
below (name, class, parent, x, y, w, h, text, tooltip, options), and the same
inventory as a table for the inventory test (tests/window/form_inventory.tsv:
name as the program knows it, class, design-time text, tooltip). Geometry is
in pixels (twips / 15). Run from the repository root after editing the table;
both generated files are committed, and a test fails when they and this
table disagree. Usage: make_form.py [FORM_UI [INVENTORY_TSV]]"""
import sys
from xml.sax.saxutils import escape

L, E, P, B, C, R, CB, LW, G, PIC = ("QLabel", "QLineEdit", "QPlainTextEdit", "QPushButton", "QCheckBox",
                                    "QRadioButton", "QComboBox", "QListWidget", "QGroupBox", "RssiGraph")
PORTS_TIP = "デバイスドライバで 接続Comポート番号を確認し、選択して下さい。"
FILE_TIP = "ファイル名に任意の文字列を付加、(ファイル名禁止文字に注意！)"
SAVE_TIP = "本アプリと同じホルダ内に保存します。"
GRAPH_TIP = "グラフ表示の選択"
DMS_TIP = "度分秒表記"
DEC_TIP = "GoogleMapでの10進数表記"

rows = [
    # group boxes (no captions of their own; FormLabel(i) are their headings)
    ("Frame_1", G, "Form1", 16, 8, 400, 92, "", PORTS_TIP, {}),
    ("Frame_0", G, "Form1", 424, 8, 462, 194, "", "", {}),
    ("Frame_2", G, "Form1", 16, 104, 400, 84, "", "", {}),
    ("Frame_5", G, "Form1", 404, 206, 482, 206, "", "", {}),
    ("Frame_3", G, "Form1", 16, 422, 870, 140, "", "", {}),
    ("Frame_4", G, "Form1", 16, 566, 857, 121, "", "", {}),
    ("Frame_6", G, "Form1", 896, 8, 460, 400, "", "", {}),
    # 1. port selection
    ("FormLabel_0", L, "Frame_1", 8, 2, 200, 18, "Comポート選択", "", {"bold": 1}),
    ("Label35", L, "Frame_1", 8, 22, 60, 16, "送信機", "", {}),
    ("Com_Port", E, "Frame_1", 8, 40, 100, 23, "", "QVX-760D/QVX-760Mが接続されているComポート番号を選択。", {}),
    ("ComSelectSW", B, "Frame_1", 112, 40, 68, 23, "ポート選択", "", {"bold": 1}),
    ("ComMessage", L, "Frame_1", 8, 68, 170, 18, "ComMessage", "", {}),
    ("GPS_On", C, "Frame_1", 184, 20, 100, 18, "GPS使用", "GPS接続ポートを選択。(NMEA Formatの$GPGGAデータより位置情報を取得)", {}),
    ("GPS_Port", E, "Frame_1", 184, 40, 70, 23, "", "GPS装置が接続されているComポート番号を選択。", {}),
    ("GPS_SelectSW", B, "Frame_1", 258, 40, 68, 23, "ポート選択", "", {"bold": 1}),
    ("GPS_Baudrate", CB, "Frame_1", 330, 40, 64, 23, "9600", "GPS装置のビットレートを選択。", {"editable": 1}),
    ("GPSMessage", L, "Frame_1", 184, 68, 200, 18, "GPSMessage", "", {}),
    # 2. loopback test
    ("FormLabel_1", L, "Frame_0", 8, 2, 400, 18, "ループバック テスト　(Command Modeのみ対応)", "", {"bold": 1}),
    ("TestMode", L, "Frame_0", 8, 20, 80, 18, "TestMode", "", {}),
    ("Message", L, "Frame_0", 92, 20, 362, 18, "Message", "", {}),
    ("TestStartSW_0", B, "Frame_0", 8, 40, 220, 26, "連続送受信(停止中)", "", {"bold": 1}),
    ("TestStartSW_1", B, "Frame_0", 234, 40, 220, 26, "指定回数送受信(停止中)", "", {"bold": 1}),
    ("Label2", L, "Frame_0", 8, 70, 446, 16, " --------------<送受信周期設定 >---------------------- ", "", {}),
    ("Label10", L, "Frame_0", 2, 90, 200, 18, "       FSK Mode：             ms", "", {"font": "fixed"}),
    ("FSKTxTime", E, "Frame_0", 110, 88, 64, 20, "300", "", {}),
]
lora_labels = ["LoRa 128 chip ：             ms", "LoRa 256 chip ：             ms", "LoRa 512 chip ：             ms",
               "LoRa 1024chip ：             ms", "LoRa 2048chip ：             ms", "LoRa 4096chip ：             ms"]
for i, (lname, text) in enumerate(zip(["Label14", "Label15", "Label41", "Label43", "Label44", "Label45"], lora_labels)):
    col, row = divmod(i, 3)
    x = 8 + col * 226
    y = 112 + row * 24
    rows.append((lname, L, "Frame_0", x, y + 2, 200, 18, text, "", {"font": "fixed"}))
    rows.append((f"LoRaTxTime_{i}", E, "Frame_0", x + 102, y, 64, 20, "", "", {}))
rows += [
    # 3. communication status
    ("FormLabel_2", L, "Frame_2", 8, 2, 200, 18, "通信状況", "", {"bold": 1}),
    # Label1's caption ends in the command prefix; TxCmd covers that part
    # with its own text (same fixed-pitch font, opaque), so it shows once.
    ("Label1", L, "Frame_2", 8, 22, 110, 18, "送信データ   @DT05", "", {"font": "fixed"}),
    ("TxCmd", L, "Frame_2", 86, 22, 32, 18, "@DT05", "", {"font": "fixed", "opaque": 1}),
    ("FSKData", E, "Frame_2", 122, 20, 40, 22, "000", "", {"font": "serif"}),
    ("FSKDmy", E, "Frame_2", 166, 20, 30, 22, "XX", "", {"font": "serif"}),
    ("Label13", L, "Frame_2", 200, 22, 70, 18, "<Cr><Lf>", "", {}),
    ("Label7", L, "Frame_2", 8, 50, 50, 18, "カウント", "", {}),
    ("Tx_Count", E, "Frame_2", 56, 48, 50, 22, "0", "", {"font": "serif"}),
    ("Label3", L, "Frame_2", 110, 50, 50, 18, "指定回数", "", {}),
    ("Tx_CnEnd", E, "Frame_2", 158, 48, 50, 22, "100", "", {"font": "serif"}),
    ("Label8", L, "Frame_2", 214, 50, 30, 18, "成功", "", {}),
    ("FSK_OK", E, "Frame_2", 244, 48, 50, 22, "0", "", {"font": "serif"}),
    ("Label9", L, "Frame_2", 298, 50, 40, 18, "エラー", "", {}),
    ("FSK_Err", E, "Frame_2", 338, 48, 50, 22, "0", "", {"font": "serif"}),
    # 4. status display: the graph stands on the window itself
    ("Picture1", PIC, "Form1", 56, 192, 343, 218, "", "各RSSI値をスクロール表示します。", {}),
]
for i, t in enumerate(["   0", " -20", " -40", " -60", " -80", "-100", "-120", "-140", "-160"]):
    rows.append((f"RFLevel_{i}", L, "Form1", 16, 198 + i * 24, 38, 14, t, "", {"font": "fixed"}))
rows += [
    ("Label25", L, "Form1", 16, 406, 38, 14, " dBm", "", {"font": "fixed"}),
    ("FormLabel_4", L, "Frame_5", 8, 2, 200, 18, "状態表示", "", {"bold": 1}),
    ("Rx_Rssi", E, "Frame_5", 8, 22, 56, 20, "", "受信機(ループバック設定側）で受信した送信信号のRSSI値", {}),
    ("AckRssi", E, "Frame_5", 68, 22, 56, 20, "", "送信機(本PC接続側）で受信した応答信号のRSSI値", {}),
    ("Label20", L, "Frame_5", 126, 24, 34, 18, " dBm", "", {}),
    ("Label26", L, "Frame_5", 166, 24, 82, 18, "平均値  (10回)", "", {}),
    ("Rx_RssiAve", E, "Frame_5", 250, 22, 80, 20, "", "", {}),
    ("AckRssiAve", E, "Frame_5", 334, 22, 80, 20, "", "", {}),
    ("Label28", L, "Frame_5", 416, 24, 34, 18, " dBm", "", {}),
    # Captions with blanks as room for a text box are in the fixed-pitch
    # gothic, so the room is as wide on every system and the unit after it
    # stays in view.
    ("FlorLabel", L, "Frame_5", 8, 48, 206, 18, "フロアノイズ                  dBm", "", {"font": "fixed"}),
    ("NoiseRssi", E, "Frame_5", 86, 46, 84, 20, "", "送信機(本PC接続側）の受信フロアノイズ(RSSI値)", {}),
    ("RssiGraph_Sel_0", R, "Frame_5", 240, 48, 110, 18, "受信 RSSI値", GRAPH_TIP, {"checked": 1}),
    ("RssiGraph_Sel_1", R, "Frame_5", 352, 48, 110, 18, "応答 RSSI値", GRAPH_TIP, {}),
    ("GraphOption", C, "Frame_5", 240, 70, 230, 18, "通信成功時のみグラフ表示", "", {"checked": 1}),
    ("Label11", L, "Frame_5", 8, 72, 194, 18, "経過時間                     ms", "", {"font": "fixed"}),
    ("KeikaTime", E, "Frame_5", 62, 70, 108, 20, "", "コマンド送信してから経過した時間を表示します。", {}),
    ("Label33", L, "Frame_5", 8, 94, 100, 18, "応答受信", "", {}),
    ("RxText", P, "Frame_5", 8, 114, 330, 86, "", "", {"font": "fixed"}),
    ("Label12", L, "Frame_5", 344, 94, 130, 18, "応答時間履歴(ms)", "", {}),
    ("RxTimeHist", P, "Frame_5", 344, 114, 130, 86, "", "", {}),
    # 5. GPS position and 6. map log
    ("FormLabel_5", L, "Frame_3", 8, 2, 308, 18, "通信ログ① (Google Map貼付用、GPS使用で自動保存）", "", {"bold": 1}),
    ("Label17", L, "Frame_3", 318, 2, 38, 18, "(GPS)", "", {}),
    ("Label29", L, "Frame_3", 356, 2, 204, 18, "GPS 受信機Data(NMEAフォーマット)", "", {}),
    ("Label39", L, "Frame_3", 6, 24, 42, 18, "衛星数", "", {"indent": 2}),  # 衛 reaches left of its origin
    ("EiseiN", E, "Frame_3", 48, 22, 28, 20, "", "", {}),
    ("Label27", L, "Frame_3", 80, 24, 48, 18, "緯度 N：", "", {}),
    ("Npos", E, "Frame_3", 128, 22, 80, 20, "", "", {}),
    ("Label16", L, "Frame_3", 212, 24, 48, 18, "経度 E：", "", {}),
    ("Epos", E, "Frame_3", 260, 22, 84, 20, "", "", {}),
    ("Label32", L, "Frame_3", 348, 24, 48, 18, "高さ M：", "", {}),
    ("Mpos", E, "Frame_3", 396, 22, 56, 20, "", "", {}),
    ("Label38", L, "Frame_3", 8, 50, 40, 18, "(60進)", DMS_TIP, {}),
    ("Nposition", E, "Frame_3", 48, 48, 130, 20, "", DMS_TIP, {}),
    ("Eposition", E, "Frame_3", 182, 48, 140, 20, "", DMS_TIP, {}),
    ("Label21", L, "Frame_3", 330, 50, 74, 18, "原点との距離", "", {}),
    ("WGS84_Kyori", E, "Frame_3", 404, 48, 80, 20, "", "", {}),
    ("Label19", L, "Frame_3", 486, 50, 22, 18, "[m]", "", {}),
    ("Label37", L, "Frame_3", 8, 76, 40, 18, "(10進)", DEC_TIP, {}),
    ("Label36", L, "Frame_3", 48, 76, 48, 18, "緯度 N：", DEC_TIP, {}),
    ("NposGmap", E, "Frame_3", 96, 74, 86, 20, "", DEC_TIP, {}),
    ("Label34", L, "Frame_3", 186, 76, 48, 18, "経度 E：", DEC_TIP, {}),
    ("EposGmap", E, "Frame_3", 234, 74, 90, 20, "", DEC_TIP, {}),
    ("Geten_ReadSW", B, "Frame_3", 330, 73, 72, 22, "原点読込", "登録されている原点を読み込みます", {"bold": 1}),
    ("Geten_SetSW", B, "Frame_3", 406, 73, 72, 22, "原点設定", "現在のGPS測位点を原点とします。", {"bold": 1}),
    ("Check2", C, "Frame_3", 458, 24, 100, 18, "(高さを含む)", "", {}),
    ("Label4", L, "Frame_3", 8, 104, 62, 18, "再表示条件", "", {}),
    ("GPSdata_clr", CB, "Frame_3", 72, 102, 90, 22, "Combo3", "表示を見やすくするための選択", {"editable": 1}),
    ("Label31", L, "Frame_3", 168, 104, 48, 18, "File名：", "", {}),
    ("MapFileHedder", L, "Frame_3", 216, 104, 150, 18, "", SAVE_TIP, {}),
    ("MapFileName", E, "Frame_3", 366, 102, 120, 22, "任意ファイル名", FILE_TIP, {"warn": 1}),
    ("Label42", L, "Frame_3", 490, 104, 60, 18, ".csv .log", "", {}),
    # wide enough for a whole map line, tall enough for several
    ("MapText", P, "Frame_3", 566, 6, 296, 128, "", "緯度N:,経度E:, 高さM:、受信RSSI値, 応答RSSI値", {"font": "fixed"}),
    # 6. communication log
    ("FormLabel_3", L, "Frame_4", 8, 2, 200, 18, "通信ログ② (全データ)", "", {"bold": 1}),
    ("Label40", L, "Frame_4", 214, 2, 48, 18, "File名：", "", {}),
    ("LogFileHedder", L, "Frame_4", 262, 2, 120, 18, "", SAVE_TIP, {}),
    ("LogFileName", E, "Frame_4", 386, 0, 140, 22, "任意ファイル名", FILE_TIP, {"warn": 1}),
    ("Label30", L, "Frame_4", 530, 2, 40, 18, ".log", "", {}),
    ("LogFile_Flg", C, "Frame_4", 576, 2, 90, 18, "File保存", "通信途中からの保存開始はできません", {"checked": 1}),
    ("LogText", P, "Frame_4", 12, 26, 833, 65, "", "送信時間, 送信データ, 応答データ, 応答時間[ms], 受信RSSI値, 応答RSSI値, ノイズフロア, 以降はGPSデータ", {}),
    # 7. diagnostics
    ("FormLabel_6", L, "Frame_6", 8, 2, 200, 18, "デバック用", "", {"bold": 1}),
    ("Label18", L, "Frame_6", 8, 22, 200, 18, "$GPGGAセンテンス検出", "", {}),
    ("GPposition", E, "Frame_6", 8, 42, 444, 22, "", "", {}),
    ("GPSdataDisp", P, "Frame_6", 8, 68, 444, 200, "", "", {}),
    ("Label6", L, "Frame_6", 8, 274, 200, 18, "受信データ・コード", "", {}),
    ("RxData", E, "Frame_6", 8, 294, 444, 22, "", "", {}),
    ("Label5", L, "Frame_6", 8, 322, 200, 18, "受信確認用コード", "", {}),
    ("ChkData", E, "Frame_6", 8, 342, 444, 22, "", "", {}),
    # beyond the inventory: opens the link analysis window; a child of the
    # window itself (not of the log frame, which a run locks), in the free
    # right end of the log frame's heading row
    ("AnalysisButton", B, "Form1", 706, 566, 96, 22, "リンク解析", "リンク解析ウィンドウを開きます (Ctrl+L)",
     {"bold": 1, "accessible": 1}),
    # the shared port list, out of view until a port button opens it
    ("Com_PortList", LW, "Form1", 24, -200, 641, 95, "", "何れか選択するか、再度「ポート選択」ボタンで閉じます。", {}),
]


def prop(name, inner):
    return f'<property name="{name}">{inner}</property>'


def widget(row, children):
    name, cls, _parent, x, y, w, h, text, tip, opt = row
    out = [f'<widget class="{cls}" name="{name}">',
           prop("geometry", f"<rect><x>{x}</x><y>{y}</y><width>{w}</width><height>{h}</height></rect>")]
    s = lambda t: f"<string>{escape(t)}</string>"
    if text:
        if cls in (L, B, C, R):
            out.append(prop("text", s(text)))
        elif cls in (E,):
            out.append(prop("text", s(text)))
        elif cls == CB:
            out.append(prop("currentText", s(text)))
    if cls == L:
        out.append(prop("textFormat", "<enum>Qt::PlainText</enum>"))
    if tip:
        out.append(prop("toolTip", s(tip)))
    if opt.get("bold"):
        out.append(prop("font", "<font><bold>true</bold></font>"))
    if opt.get("accessible"):
        out.append(prop("accessibleName", s(name)))
    if opt.get("checked"):
        out.append(prop("checked", "<bool>true</bool>"))
    if opt.get("editable"):
        # the lists are fixed: typed text is used as it is, never added to them
        out.append(prop("editable", "<bool>true</bool>"))
        out.append(prop("insertPolicy", "<enum>QComboBox::NoInsert</enum>"))
    if opt.get("indent"):
        out.append(prop("indent", f"<number>{opt['indent']}</number>"))
    if opt.get("opaque"):
        out.append(prop("autoFillBackground", "<bool>true</bool>"))
    if opt.get("font"):
        # read by the window when it sets its fonts: "fixed" the fixed-pitch
        # gothic, "serif" the serif face of the counters
        out.append(f'<property name="typeface" stdset="0"><string>{opt["font"]}</string></property>')
    if cls == P:
        out.append(prop("verticalScrollBarPolicy", "<enum>Qt::ScrollBarAlwaysOn</enum>"))
    if cls == G:
        out.append(prop("title", s("")))
    out += children
    out.append("</widget>")
    return "\n".join(out)


def build(parent):
    return [widget(r, build(r[0])) for r in rows if r[2] == parent]


body = "\n".join(build("Form1"))
ui = f"""<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
<class>Form1</class>
<widget class="QWidget" name="Form1">
{prop("geometry", "<rect><x>0</x><y>0</y><width>1367</width><height>653</height></rect>")}
{prop("windowTitle", "<string>QVX-760D/M  ループバック通信試験</string>")}
{body}
</widget>
<customwidgets>
<customwidget><class>RssiGraph</class><extends>QFrame</extends><header>looptest/RssiGraph.h</header></customwidget>
</customwidgets>
<resources/>
<connections/>
</ui>
"""
ARRAYS = ("FormLabel", "Frame", "RFLevel", "LoRaTxTime", "TestStartSW", "RssiGraph_Sel")


def program_name(name):
    """Array elements are Name(i) in the program (Frame_3 is Frame(3))."""
    head, _, index = name.rpartition("_")
    return f"{head}({index})" if head in ARRAYS and index.isdigit() else name


def tsv_field(text):
    assert "\t" not in text and "\n" not in text, text
    return text


inventory = "".join(
    "\t".join((program_name(r[0]), r[1], tsv_field(r[7]), tsv_field(r[8]))) + "\n" for r in rows)

out = sys.argv[1] if len(sys.argv) > 1 else "src/shell/Form1.ui"
inv = sys.argv[2] if len(sys.argv) > 2 else "tests/window/form_inventory.tsv"
open(out, "w", encoding="utf-8").write(ui)
open(inv, "w", encoding="utf-8", newline="\n").write(inventory)
print(f"{out}, {inv}: {len(rows)} controls")
