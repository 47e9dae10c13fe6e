// The outside library "tradekernel.dll": the terminal only requires that it
// can be loaded before the trading plug-in; nothing in it is called.
