local i, x = 0, 7
while i < 3000000 do
  i = i + 1
  x = (x * 31 + i) % 1000003
end
