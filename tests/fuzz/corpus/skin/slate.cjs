; Slate: a dark skin for Lumenfold Live Shell Glance Refresher Utility.
;
; To use it, make a folder named x beside GlanceRefresher.exe and copy this
; file into it as o.cjs (so: x\o.cjs), then start the program again.
; Delete x\o.cjs to go back to the standard look.
;
; Lines starting with ; or # are comments; keys are case-insensitive; a colour
; is #RRGGBB; a colour left out keeps the system default.
[Skin]
Name=Slate
WindowBack=#2B3440
Text=#F0F0F0
ButtonFace=#3B4656
ButtonText=#FFFFFF
ButtonBorder=#5A6A80
Accent=#07A2FE
