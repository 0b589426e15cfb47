local function sub() end
local i = 0
while i < 3000000 do
  sub()
  i = i + 1
end
