# A large tablet for the benchmark: 8 devices, 64 cursors.
base default
item interface IFC_NDEVICES u32 8
item interface IFC_NCURSORS u32 64
item device:1-7 DVC_NAME        text "Simulated Pen Tablet M"
item device:1-7 DVC_HARDWARE    u32 0x000C
item device:1-7 DVC_PKTRATE     u32 200
item device:1-7 DVC_PKTDATA     u32 0x1FFF
item device:1-7 DVC_CSRDATA     u32 0x1C10
item device:1-7 DVC_X           axis 0 44704 2 2000.0
item device:1-7 DVC_Y           axis 0 27940 2 2000.0
item device:1-7 DVC_NPRESSURE   axis 0 8191 0 0
item device:1-7 DVC_TPRESSURE   axis 0 1023 0 0
item device:1-7 DVC_ORIENTATION axis 0 3600 3 3600.0  -1000 1000 3 1000.0  0 3600 3 3600.0
item device:1-7 DVC_PNPID       text "PSC0104"
item cursor:3-63 CSR_NAME         text "Pressure Pen"
item cursor:3-63 CSR_ACTIVE       u32 1
item cursor:3-63 CSR_PKTDATA      u32 0x1FFF
item cursor:3-63 CSR_BUTTONS      u8 3
item cursor:3-63 CSR_BUTTONBITS   u8 3
item cursor:3-63 CSR_BTNNAMES     text "Tip" "Lower Switch" "Upper Switch" u16 0
item cursor:3-63 CSR_BUTTONMAP    u8 0 1 2 fill 29 u8 0
item cursor:3-63 CSR_SYSBTNMAP    u8 1 7 4 fill 29 u8 0
item cursor:3-63 CSR_NPBUTTON     u8 0
item cursor:3-63 CSR_NPBTNMARKS   u8 0 1
item cursor:3-63 CSR_NPRESPONSE   u32 0 2048 4096 6144 8191
item cursor:3-63 CSR_TPBUTTON     u8 0
item cursor:3-63 CSR_TPBTNMARKS   u8 0 1
item cursor:3-63 CSR_TPRESPONSE   u32 0 1023
item cursor:3-63 CSR_PHYSID       u32 0x0802A31C
item cursor:3-63 CSR_MODE         u32 0
item cursor:3-63 CSR_MINPKTDATA   u32 0
item cursor:3-63 CSR_MINBUTTONS   u32 0
item cursor:3-63 CSR_CAPABILITIES u32 0x0003
