/* Rowquarry's skin. This is a Qt style sheet, applied to the connection window when this file
   (x/o.cjs beside the program) is present. It shapes the group box frame, the text boxes and the
   push buttons only: the window, labels, check boxes and option buttons keep the button-face
   colour the program gives them, and the program sets every font. */

QGroupBox {
    border: 1px solid #9aa8b6;
    border-radius: 6px;
    margin-top: 8px;
}

QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 10px;
    padding: 0px 4px;
    color: #1d4f7c;
}

QLineEdit {
    border: 1px solid #8e9baa;
    border-radius: 3px;
    padding: 1px 4px;
    selection-background-color: #2f6fb0;
    selection-color: #ffffff;
}

QLineEdit:hover {
    border-color: #5d8cbc;
}

QLineEdit:focus {
    border-color: #2f6fb0;
    background-color: #f4f9ff;
}

QLineEdit:disabled {
    border-color: #c4cbd3;
    color: #8a949e;
}

QPushButton {
    border: 1px solid #73839a;
    border-radius: 5px;
    padding: 3px 12px;
    color: #18222d;
    background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1,
                                      stop: 0 #fdfefe, stop: 0.5 #eef2f6, stop: 1 #dce3ea);
}

QPushButton:focus {
    border-color: #2f6fb0;
}

QPushButton:hover {
    border-color: #2f6fb0;
    background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1,
                                      stop: 0 #ffffff, stop: 0.5 #f0f6fc, stop: 1 #dde9f5);
}

QPushButton:pressed {
    border-color: #24588c;
    background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1,
                                      stop: 0 #cdd8e3, stop: 1 #e9eef3);
    padding-top: 4px;
    padding-bottom: 2px;
}

QPushButton:disabled {
    border-color: #b9c2cb;
    color: #8a949e;
    background-color: #eceff2;
}
